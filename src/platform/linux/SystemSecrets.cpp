// The desktop's Secret Service, through QtKeychain.
#include "platform/SystemSecrets.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

namespace mirelight::secrets {

namespace {

// Generous: a keyring that asks the user to unlock it waits for the user.
constexpr int kTimeoutMs = 10000;

const QString kService = QStringLiteral("Corvanthis Mirelight");

StoreResult FromJob(const QKeychain::Job& job)
{
    switch (job.error()) {
    case QKeychain::NoError:
        return { StoreAnswer::Done, {}, {} };
    case QKeychain::EntryNotFound:
        return { StoreAnswer::NotFound, {}, {} };
    case QKeychain::AccessDeniedByUser:
        return { StoreAnswer::Failed,
                 {},
                 QStringLiteral("access to the secret store was refused") };
    default:
        return { StoreAnswer::Failed,
                 {},
                 QStringLiteral("the secret store failed: %1").arg(job.errorString()) };
    }
}

// Runs the job to its end, or gives up on it after kTimeoutMs; the window keeps painting
// meanwhile. A job deletes itself once it has finished, so what it found is read as it does;
// one given up on finishes (and goes) on its own.
StoreResult Run(QKeychain::Job* job)
{
    StoreResult result {
        StoreAnswer::Failed,
        {},
        QStringLiteral("the secret store did not answer within %1 s").arg(kTimeoutMs / 1000)
    };
    bool finished = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job* done) {
        result = FromJob(*done);
        if (auto* read = qobject_cast<QKeychain::ReadPasswordJob*>(done))
            result.secret = read->textData();
        finished = true;
        loop.quit();
    });
    QTimer::singleShot(kTimeoutMs, &loop, &QEventLoop::quit);
    job->start();
    if (!finished)
        loop.exec();
    return result;
}

template<class Job> Job* NewJob(const QString& name)
{
    auto* job = new Job(kService);
    job->setAutoDelete(true);
    job->setKey(name);
    return job;
}

} // namespace

StoreResult ReadFromSystemStore(const QString& name)
{
    return Run(NewJob<QKeychain::ReadPasswordJob>(name));
}

StoreResult WriteToSystemStore(const QString& name, const QString& secret)
{
    auto* job = NewJob<QKeychain::WritePasswordJob>(name);
    job->setTextData(secret);
    return Run(job);
}

StoreResult DeleteFromSystemStore(const QString& name)
{
    return Run(NewJob<QKeychain::DeletePasswordJob>(name));
}

} // namespace mirelight::secrets
