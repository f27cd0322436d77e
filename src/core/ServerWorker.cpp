#include "ServerWorker.h"

#include "HttpTransport.h"

TServerWorker::TServerWorker(QObject* AParent) : QObject(AParent), FContext(new QObject) {
    FContext->moveToThread(&FThread);
    connect(&FThread, &QThread::finished, FContext, &QObject::deleteLater);
    FThread.setObjectName(QStringLiteral("server"));
    FThread.start();
}

TServerWorker::~TServerWorker() {
    FCancelled = true;
    FThread.quit();
    FThread.wait();
}

void TServerWorker::Post(std::function<void()> AJob) {
    QMetaObject::invokeMethod(FContext, [this, job = std::move(AJob)] {
        if (FCancelled) return;
        const THttpTransport::TCancelScope cancel(FCancelled);
        job();
    });
}

void TServerWorker::Deliver(std::function<void()> AStep) {
    // Queued to this object: if it is gone by then, the step is simply dropped.
    QMetaObject::invokeMethod(this, std::move(AStep), Qt::QueuedConnection);
}
