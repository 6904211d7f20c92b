#pragma once

namespace melodrift::tidelink {

// Every wait of the service in milliseconds. The defaults are the product's;
// tests shrink them all at once through MELODRIFT_TIDELINK_TIME_SCALE (a
// percentage, 1..100), a test-only setting.
struct Timing {
    int startDelayMs = 1500;
    int workWaitMs = 10000;
    int doneWaitMs = 15000;
    int connectWaitMs = 15000;
    int replyPollMs = 1000;
    int replyPolls = 5;
    int probeWaitMs = 5000;
    int personalNoticeMs = 900 * 1000;

    Timing Scaled(int percent) const;
    static Timing FromEnvironment();
};

} // namespace melodrift::tidelink
