#include "line/portthread.h"

PortThread::PortThread(const QString &port) : m_home(new QObject)
{
    m_thread.setObjectName(port);
    m_home->moveToThread(&m_thread);
}

PortThread::~PortThread()
{
    if (!m_thread.isRunning()) { // never started: nothing ran on it
        delete m_home;
        return;
    }
    // After what was posted before, and from the thread itself, so that the
    // loop cannot end before the objects are gone.
    QObject *home = m_home;
    QThread *thread = &m_thread;
    QMetaObject::invokeMethod(
        home,
        [home, thread] {
            delete home;
            thread->quit();
        },
        Qt::QueuedConnection);
    m_thread.wait();
}

void PortThread::start()
{
    m_thread.start();
}

void PortThread::post(std::function<void()> work)
{
    QMetaObject::invokeMethod(m_home, std::move(work), Qt::QueuedConnection);
}
