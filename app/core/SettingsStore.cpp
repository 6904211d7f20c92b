#include "SettingsStore.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QString>
#include <cstring>

#include "LoginRecord.h"
#include "PlaybackClock.h"
#include "SongModel.h"

namespace melodrift {

namespace {

const char* const kLoginValue = "{0DF44EAA-FF21-4412-828E-260A8728E7F1}";

QString Name(const char* name) { return QString::fromLatin1(name); }

bool ReadInt(QSettings& s, const char* name, int& out)
{
    const QVariant v = s.value(Name(name));
    bool ok = false;
    const int value = v.toInt(&ok);
    if (v.isValid() && ok)
        out = value;
    return v.isValid() && ok;
}

void ReadBool(QSettings& s, const char* name, bool& out)
{
    int value = 0;
    if (ReadInt(s, name, value))
        out = value != 0;
}

void ReadString(QSettings& s, const char* name, std::string& out)
{
    const QVariant v = s.value(Name(name));
    if (v.isValid())
        out = v.toString().toStdString();
}

// A 4-byte float; out of 0..1 reads as 1, except -1, the stored "engine's
// default", which must survive a restart. Any other size is ignored.
void ReadVolume(QSettings& s, const char* name, float& out)
{
    const QByteArray bytes = s.value(Name(name)).toByteArray();
    if (bytes.size() != sizeof(float))
        return;
    float value = 0;
    std::memcpy(&value, bytes.constData(), sizeof value);
    out = (value >= 0.0f && value <= 1.0f) || value == -1.0f ? value : 1.0f;
}

QByteArray VolumeBytes(float value) { return QByteArray(reinterpret_cast<const char*>(&value), sizeof value); }

QString Text(const std::string& text) { return QString::fromStdString(text); }

} // namespace

TSettingsStore::TSettingsStore()
    : m_settings(std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, "Korvane", "Melodrift"))
{
}

TSettingsStore::TSettingsStore(const std::string& iniPath)
    : m_settings(std::make_unique<QSettings>(Text(iniPath), QSettings::IniFormat))
{
}

TSettingsStore::~TSettingsStore() = default;

void TSettingsStore::ReadSettings(TSongModel& song, AppSettings& app)
{
    QSettings& s = *m_settings;
    if (s.allKeys().isEmpty())
        return; // first start: every default stays
    ReadString(s, "FontName", song.timbreLibraryName);
    int metre = song.metre, tempo = song.tempo;
    if (ReadInt(s, "TimeSignature", metre))
        SetMetre(song, metre >= 0 && metre <= 3 ? metre : 0, false);
    if (ReadInt(s, "Tempo", tempo))
        SetTempo(song, tempo >= 50 && tempo <= 200 ? tempo : 75, false);
    ReadInt(s, "RecordDevice", app.recordDevice);
    ReadInt(s, "RecordInput", app.recordInput);
    const QVariant device = s.value(Name("RecordDeviceName"));
    if (device.isValid())
        app.recordDeviceName = device.toByteArray().left(kMaxDeviceName).toStdString();
    ReadBool(s, "RecordAutoAdjust", song.flags[kFlagAutoLevel]);
    ReadVolume(s, "RecordVolume", song.recordVolume);
    ReadVolume(s, "SpeakerVolume", song.speakerVolume);
    ReadInt(s, "LastSaveOption", app.lastSaveOption);
    ReadInt(s, "LastSaveType", app.lastSaveType);
    ReadString(s, "LastSaveFile", app.lastSaveFile);
    ReadInt(s, "WindowState", app.windowState);
    ReadBool(s, "ShowRecordHint", song.flags[kFlagShowRecordHint]);
    ReadBool(s, "ChordFontType", song.flags[kFlagChordLetters]);
    app.recentProjects.clear();
    for (int n = 1; n <= kMaxRecentProjects; ++n) {
        const QVariant v = s.value(QStringLiteral("RecentProject%1").arg(n));
        if (v.isValid())
            app.recentProjects.push_back(v.toString().toStdString());
    }
    ReadBool(s, "AutoSave", song.flags[kFlagAutoSaved]);
}

void TSettingsStore::WriteSettings(const TSongModel& song, const AppSettings& app)
{
    QSettings& s = *m_settings;
    s.setValue(Name("FontName"), Text(song.timbreLibraryName));
    s.setValue(Name("TimeSignature"), song.metre);
    s.setValue(Name("Tempo"), song.tempo);
    s.setValue(Name("RecordDevice"), app.recordDevice);
    s.setValue(Name("RecordInput"), app.recordInput);
    s.setValue(Name("RecordDeviceName"), QByteArray::fromStdString(app.recordDeviceName).left(kMaxDeviceName));
    s.setValue(Name("RecordAutoAdjust"), song.Flag(kFlagAutoLevel) ? 1 : 0);
    s.setValue(Name("RecordVolume"), VolumeBytes(song.recordVolume));
    s.setValue(Name("SpeakerVolume"), VolumeBytes(song.speakerVolume));
    s.setValue(Name("LastSaveOption"), app.lastSaveOption);
    s.setValue(Name("LastSaveType"), app.lastSaveType);
    s.setValue(Name("LastSaveFile"), Text(app.lastSaveFile));
    s.setValue(Name("WindowState"), app.windowState);
    s.setValue(Name("ShowRecordHint"), song.Flag(kFlagShowRecordHint) ? 1 : 0);
    s.setValue(Name("ChordFontType"), song.Flag(kFlagChordLetters) ? 1 : 0);
    const int count = std::min<int>(kMaxRecentProjects, static_cast<int>(app.recentProjects.size()));
    for (int n = 1; n <= kMaxRecentProjects; ++n) {
        const QString name = QStringLiteral("RecentProject%1").arg(n);
        if (n <= count)
            s.setValue(name, Text(app.recentProjects[n - 1]));
        else
            s.remove(name);
    }
    s.sync();
}

void TSettingsStore::WriteAutoSaveSettings(const TSongModel& song)
{
    m_settings->setValue(Name("AutoSave"), song.Flag(kFlagAutoSaved) ? 1 : 0);
    m_settings->setValue(Name("AutoSaveProj"), Text(song.projectPath));
    m_settings->sync();
}

void TSettingsStore::ReadAutoSaveProject(TSongModel& song)
{
    ReadString(*m_settings, "AutoSaveProj", song.projectPath);
}

void TSettingsStore::StoreLogin(const std::string& userName, bool rememberPassword, const std::string& password)
{
    const std::vector<uint8_t> record = EncodeLogin(userName, rememberPassword, password);
    if (record.empty())
        return;
    m_settings->setValue(Name(kLoginValue),
                         QByteArray(reinterpret_cast<const char*>(record.data()), static_cast<int>(record.size())));
    m_settings->sync();
    Protect();
}

bool TSettingsStore::LoadLogin(std::string& userName, std::string& password)
{
    const QByteArray bytes = m_settings->value(Name(kLoginValue)).toByteArray();
    if (bytes.isEmpty() || bytes.size() > static_cast<int>(kMaxLoginRecord))
        return false;
    const auto login = DecodeLogin(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    if (!login)
        return false;
    userName = login->userName;
    password = login->password;
    return login->hasPassword;
}

void TSettingsStore::ForgetLogin()
{
    m_settings->remove(Name(kLoginValue));
    m_settings->sync();
}

// The login is only obscured, so the file that holds it is the user's alone.
void TSettingsStore::Protect()
{
    const QString path = m_settings->fileName();
    if (QFile::exists(path))
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
}

void AddRecentProject(AppSettings& app, const std::string& path)
{
    RemoveRecentProject(app, path);
    app.recentProjects.insert(app.recentProjects.begin(), path);
    if (app.recentProjects.size() > static_cast<size_t>(kMaxRecentProjects))
        app.recentProjects.resize(kMaxRecentProjects);
}

void RemoveRecentProject(AppSettings& app, const std::string& path)
{
    const QString wanted = Text(path);
    std::erase_if(app.recentProjects, [&](const std::string& p) {
        return Text(p).compare(wanted, Qt::CaseInsensitive) == 0;
    });
}

} // namespace melodrift
