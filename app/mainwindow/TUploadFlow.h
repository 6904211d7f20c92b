#pragma once

// The upload of the finished song (UM_UPLOAD_SONG): login if needed, the
// permission check, the description dialog, the MP3 export and the upload,
// each long step in a progress window, with the song management dialog at
// the end. The dialogs come from the main window's hooks.

#include <QString>
#include <cstdint>

namespace melodrift {

struct AppSession;
class TMainForm;

class TUploadFlow {
public:
    TUploadFlow(TMainForm& form, AppSession& session) : m_form(form), m_session(session) {}
    void Run();

    // Folder uploads are exported into (under the user's data folder).
    static QString UploadFolder();

private:
    bool UploadPermitted();
    int ManageSong(int32_t songId);

    TMainForm& m_form;
    AppSession& m_session;
};

} // namespace melodrift
