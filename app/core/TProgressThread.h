#pragma once

// The worker thread of a progress dialog: runs one operation off the GUI
// thread while the dialog waits, reporting to the dialog by posted messages.

#include <cstdint>
#include <string>
#include <thread>

#include "MelodriftPlatform.h"
#include "Tidelink.h"

namespace melodrift {

class TSongModel;

enum ProgressOperationCode : int {
    kOpExport = 1,
    kOpOpenProject = 3,
    kOpSaveProject = 4,
    kOpLogin = 5,
    kOpSubmitQuestion = 8,
    kOpRegister = 9,
    kOpUpload = 10,
};

struct ProgressOperation {
    int code = 0;
    TSongModel* song = nullptr;          // open and save
    std::string path;                    // export, open, save, upload (UTF-8)
    int32_t trackBits = 0;               // export
    int32_t fileType = 0;                // export
    CS_UserRecord* user = nullptr;       // login, register
    int32_t userId = 0;                  // question, upload
    std::string text;                    // question
    const void* songInfo = nullptr;      // upload: description block or none
    CS_UploadResult* uploadResult = nullptr;
    MDP_Window mainWindow = nullptr;     // receives the report of a registration
};

// Runs an operation on the calling thread and returns its result: the
// project result code for an open, 1/0 for a save, the entry point's value
// for the others.
int64_t RunProgressOperation(const ProgressOperation& op, MDP_Window dialog);

class TProgressThread {
public:
    TProgressThread(ProgressOperation op, MDP_Window dialog);
    ~TProgressThread();
    TProgressThread(const TProgressThread&) = delete;
    TProgressThread& operator=(const TProgressThread&) = delete;

    void Join();
    // Valid after Join.
    int64_t Result() const { return m_result; }

private:
    ProgressOperation m_op;
    int64_t m_result = 0;
    std::thread m_thread;
};

} // namespace melodrift
