#pragma once

#include "app/CSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <gtest/gtest.h>

// Tests that look at the settings file itself: each starts without one.
class SettingsFileTest : public testing::Test
{
protected:
    void SetUp() override
    {
        QFile::remove(m_fileName);
        QFileInfo(m_fileName).dir().mkpath(QStringLiteral("."));
    }

    void WriteRaw(const QByteArray& bytes) const
    {
        QFile file(m_fileName);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray ReadRaw() const
    {
        QFile file(m_fileName);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    static mirelight::PanelSettings Loaded()
    {
        mirelight::PanelSettings settings;
        CSettingsStore().Load(settings);
        return settings;
    }

    const QString m_fileName = CSettingsStore().FileName();
};
