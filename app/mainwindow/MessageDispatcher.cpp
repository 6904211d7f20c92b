#include "MessageDispatcher.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>
#include <map>
#include <mutex>

namespace melodrift {

namespace {

std::mutex g_lock;
std::map<QObject*, TMessageTarget*> g_targets;

TMessageTarget* FindTarget(QObject* object)
{
    const auto it = g_targets.find(object);
    return it == g_targets.end() ? nullptr : it->second;
}

int Post(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam, void*)
{
    std::lock_guard guard(g_lock);
    auto* object = static_cast<QObject*>(window);
    if (FindTarget(object) == nullptr)
        return 0;
    QCoreApplication::postEvent(object, new MessageEvent(message, wParam, lParam));
    return 1;
}

intptr_t Send(MDP_Window window, uint32_t message, intptr_t wParam, intptr_t lParam, void*)
{
    auto* object = static_cast<QObject*>(window);
    QPointer<QObject> guarded;
    {
        std::lock_guard guard(g_lock);
        if (FindTarget(object) == nullptr)
            return 0;
        guarded = object;
    }
    intptr_t result = 0;
    // Runs on the window's own thread, where the window is also destroyed.
    auto deliver = [&] {
        TMessageTarget* target = nullptr;
        {
            std::lock_guard guard(g_lock);
            target = guarded ? FindTarget(guarded.data()) : nullptr;
        }
        if (target)
            result = target->HandleMessage(message, wParam, lParam);
    };
    if (QThread::currentThread() == object->thread())
        deliver();
    else
        QMetaObject::invokeMethod(object, deliver, Qt::BlockingQueuedConnection);
    return result;
}

} // namespace

QEvent::Type MessageEvent::EventType()
{
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void RegisterMessageTarget(QObject* object, TMessageTarget* target)
{
    std::lock_guard guard(g_lock);
    g_targets[object] = target;
}

void UnregisterMessageTarget(QObject* object)
{
    std::lock_guard guard(g_lock);
    g_targets.erase(object);
}

MDP_Window WindowHandle(QObject* object) { return object; }

void InstallMessageDispatcher() { MDP_SetMessageDispatcher(&Post, &Send, nullptr); }

bool DeliverMessageEvent(TMessageTarget* target, QEvent* event)
{
    if (event->type() != MessageEvent::EventType())
        return false;
    const auto* message = static_cast<MessageEvent*>(event);
    target->HandleMessage(message->message, message->wParam, message->lParam);
    return true;
}

} // namespace melodrift
