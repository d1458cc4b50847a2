# Installation into the usual places of a Linux desktop, and a Debian package built from it
# with CPack (`cpack -G DEB` in the build folder); on Windows a zip.
include(GNUInstallDirs)

# One id for the desktop entry, the icon and the AppStream component: desktops match them by
# name, and main.cpp gives it to QGuiApplication::setDesktopFileName.
set(MIRELIGHT_DESKTOP_ID "com.corvanthis.Mirelight")
set(_res "${PROJECT_SOURCE_DIR}/res")

if(WIN32)
  # One self-contained executable (Qt and the C++ runtime linked in) is the whole program: the
  # zip (`cpack` in the build folder) holds mirelight.exe and the licences, to be unpacked
  # anywhere.
  if(MIRELIGHT_BUILD_UI)
    install(TARGETS mirelight RUNTIME DESTINATION .)
  endif()
  install(FILES "${PROJECT_SOURCE_DIR}/LICENSE" DESTINATION . RENAME LICENSE.txt)
  install(FILES "${PROJECT_SOURCE_DIR}/packaging/windows/THIRD-PARTY-NOTICES.txt" DESTINATION .)
  set(CPACK_GENERATOR ZIP)

  # The installer (`cmake --build . --target msi`): cross-built on Linux, where wixl (msitools)
  # is; scripts/build-msi.sh is the recipe the Wine test shares.
  find_program(MIRELIGHT_WIXL wixl)
  find_program(MIRELIGHT_BASH bash)
  if(MIRELIGHT_BUILD_UI AND MIRELIGHT_WIXL AND MIRELIGHT_BASH)
    # Named as the zip, by the version's first three fields.
    set(_msi_version "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
    set(_msi "${CMAKE_BINARY_DIR}/mirelight-${_msi_version}-win64.msi")
    add_custom_command(
      OUTPUT "${_msi}"
      COMMAND "${MIRELIGHT_BASH}" "${PROJECT_SOURCE_DIR}/scripts/build-msi.sh"
              "$<TARGET_FILE:mirelight>" "${PROJECT_VERSION}" "${_msi}"
      DEPENDS mirelight "${PROJECT_SOURCE_DIR}/scripts/build-msi.sh"
              "${PROJECT_SOURCE_DIR}/packaging/windows/mirelight.wxs"
              "${PROJECT_SOURCE_DIR}/packaging/windows/THIRD-PARTY-NOTICES.txt"
              "${PROJECT_SOURCE_DIR}/LICENSE" "${PROJECT_SOURCE_DIR}/res/windows/mirelight.ico"
      VERBATIM)
    add_custom_target(msi DEPENDS "${_msi}")
  endif()
else()
  install(TARGETS brisko-sim RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  # Debian's place for the licence; the full text is the system's own GPL-3.
  install(FILES "${_res}/copyright" DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/mirelight)
  if(MIRELIGHT_BUILD_UI)
    install(TARGETS mirelight RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES "${_res}/${MIRELIGHT_DESKTOP_ID}.desktop"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES "${_res}/${MIRELIGHT_DESKTOP_ID}.metainfo.xml"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    # Copied into ~/.config/autostart by users who want Mirelight at login (see the README).
    install(FILES "${_res}/${MIRELIGHT_DESKTOP_ID}-autostart.desktop"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/mirelight)

    set(_icons "${CMAKE_INSTALL_DATADIR}/icons/hicolor")
    install(FILES "${_res}/mirelight.svg" DESTINATION ${_icons}/scalable/apps
            RENAME ${MIRELIGHT_DESKTOP_ID}.svg)
    foreach(_size IN ITEMS 16 24 32 48 64 128 256)
      install(FILES "${_res}/mirelight-${_size}.png" DESTINATION ${_icons}/${_size}x${_size}/apps
              RENAME ${MIRELIGHT_DESKTOP_ID}.png)
    endforeach()
  endif()
endif()

set(CPACK_PACKAGE_NAME "mirelight")
set(CPACK_PACKAGE_VENDOR "Corvanthis")
# Debian versions have three parts; the fourth (build) number stays in the About box.
set(CPACK_PACKAGE_VERSION
    "${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ZigBee light switch panel for a Brisko USB dongle")
set(CPACK_PACKAGE_DESCRIPTION
    "Mirelight turns a PC into a ZigBee light switch: a small panel of up to eight buttons, \
each of which makes a Brisko USB ZigBee dongle send Off, On or Toggle to the light or \
socket bound to it. The panel can hide in the system tray. The package also holds \
brisko-sim, a simulated Brisko on a pseudo-terminal.")
set(CPACK_PACKAGE_CONTACT "Corvanthis Mirelight maintainers <mirelight@corvanthis.com>")
set(CPACK_STRIP_FILES ON)
set(CPACK_RESOURCE_FILE_LICENSE "${PROJECT_SOURCE_DIR}/LICENSE")

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # mirelight_<version>_<arch>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION "utils")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Depends comes from the libraries the binaries link (dpkg-shlibdeps, from dpkg-dev).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Native windows and the taskbar icon on Wayland desktops; without it Qt uses XWayland. QtKeychain
# loads libsecret at run time for the Secret Service; without it secrets go to a private file.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, libsecret-1-0")

include(CPack)
