#pragma once

// Window messages of the libraries and screens delivered as Qt events: a
// window handle is the address of a TMessageTarget widget; posting queues an
// event on the GUI thread, sending runs the handler and waits for its answer.

#include <QEvent>
#include <cstdint>

#include "MelodriftMessages.h"
#include "MelodriftPlatform.h"

namespace melodrift {

class TMessageTarget {
public:
    virtual ~TMessageTarget() = default;
    virtual intptr_t HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam) = 0;
};

class MessageEvent : public QEvent {
public:
    static QEvent::Type EventType();
    MessageEvent(uint32_t msg, intptr_t wp, intptr_t lp) : QEvent(EventType()), message(msg), wParam(wp), lParam(lp) {}
    const uint32_t message;
    const intptr_t wParam, lParam;
};

// A window that may receive messages registers itself while it lives; posts
// to an unknown or destroyed window are dropped.
void RegisterMessageTarget(QObject* object, TMessageTarget* target);
void UnregisterMessageTarget(QObject* object);
MDP_Window WindowHandle(QObject* object);

// Installs the dispatcher into the platform layer (once, on the GUI thread).
void InstallMessageDispatcher();

// Call from a target's event(): true when the event was a message.
bool DeliverMessageEvent(TMessageTarget* target, QEvent* event);

} // namespace melodrift
