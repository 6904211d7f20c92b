#include "TProgressThread.h"

#include "EngineTables.h"
#include "ProjectFile.h"
#include "SongModel.h"

namespace melodrift {

namespace {

int64_t RunOnline(const ProgressOperation& op, MDP_Window dialog)
{
    const auto& cs = Engines().cs;
    int32_t result = -1;
    switch (op.code) {
    case kOpLogin:
        result = cs.CS_Login(op.user, 1);
        break;
    case kOpSubmitQuestion:
        result = cs.CS_SubmitQnA(op.userId, op.text.c_str());
        break;
    case kOpRegister:
        result = cs.CS_Register(op.user);
        if (result == 0)
            MDP_PostMessage(op.mainWindow, UM_SERVICE_EVENT, 0x00220000, reinterpret_cast<intptr_t>(op.user));
        break;
    case kOpUpload:
        result = cs.CS_UploadSong(op.userId, op.songInfo, op.path.c_str(), dialog, op.uploadResult);
        break;
    default:
        break;
    }
    MDP_PostMessage(dialog, UM_PROGRESS_DONE, 0, 0);
    return result;
}

} // namespace

int64_t RunProgressOperation(const ProgressOperation& op, MDP_Window dialog)
{
    try {
        switch (op.code) {
        case kOpExport: {
            int32_t value = 0;
            return Engines().mm.MM_Save(dialog, op.trackBits, op.path.c_str(), op.fileType, &value);
        }
        case kOpOpenProject:
            return op.song ? OpenProject(*op.song, op.path, dialog) : kProjectCannotOpen;
        case kOpSaveProject:
            return op.song && SaveProject(*op.song, op.path, dialog) ? 1 : 0;
        default:
            return RunOnline(op, dialog);
        }
    } catch (...) {
        // The dialog must end even when the operation could not.
        MDP_PostMessage(dialog, UM_PROGRESS_FAILED, static_cast<intptr_t>(kProjectCannotOpen), 0);
        return -1;
    }
}

TProgressThread::TProgressThread(ProgressOperation op, MDP_Window dialog)
    : m_op(std::move(op)), m_thread([this, dialog] { m_result = RunProgressOperation(m_op, dialog); })
{
}

TProgressThread::~TProgressThread() { Join(); }

void TProgressThread::Join()
{
    if (m_thread.joinable())
        m_thread.join();
}

} // namespace melodrift
