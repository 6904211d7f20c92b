#pragma once

// What the online service's window messages (UM_SERVICE_EVENT) mean to the
// program, decided without a window: which reply arrived, what the login
// came to, the unread notice counts, and the texts the window shows for them.

#include <QString>
#include <cstdint>

#include "Tidelink.h"

namespace melodrift {

// Reply ids of UM_SERVICE_EVENT's class (wParam >> 16): the request's id + 1.
constexpr int kReplyGreeting = 2;       // version announced; lParam: the version record
constexpr int kReplyLogin = 0x22;       // login (and a successful registration)
constexpr int kReplyNoticeCount = 0x96; // unread notices; lParam: owner << 16 | count

// A server-side transfer fault the client has no name for.
constexpr int kServiceTransferFault = 32783;

// Greeting reply codes.
constexpr int kGreetingNewVersion = 2;
constexpr int kGreetingForcedUpdate = 3;

// The failure text plus, after a line break, the reason of a service result
// code (empty for a code without one).
QString ServiceErrorText(const QString& failure, int code);

// Texts of the new-version message.
QString NewVersionMessage(bool forced);

struct ServiceEventAction {
    enum Kind {
        kIgnored,           // not the main window's business (style replies, unknown ids)
        kLoggedIn,
        kLoginFailed,
        kNoticeCountChanged,
        kNewVersion,
    };
    Kind kind = kIgnored;
    int code = 0;
    // kLoginFailed: the user mistyped name or password; the login dialog opens again.
    bool askLoginAgain = false;
    // kNoticeCountChanged: which count changed.
    bool personal = false;
    // kNewVersion: the service refuses the running version.
    bool forced = false;
};

// Decodes the service's events for the main window and keeps the unread
// notice counts they carry.
class TServiceEvents {
public:
    ServiceEventAction Decode(intptr_t wParam, intptr_t lParam);

    int Notices() const { return m_notices; }
    int Personal() const { return m_personal; }
    void SetNotices(int count) { m_notices = count; }
    void SetPersonal(int count) { m_personal = count; }
    // The count the badge shows: personal messages only count while logged in.
    int Unread(bool loggedIn) const { return m_notices + (loggedIn ? m_personal : 0); }

private:
    int m_notices = 0;
    int m_personal = 0;
};

} // namespace melodrift
