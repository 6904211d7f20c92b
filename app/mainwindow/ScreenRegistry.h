#pragma once

// How the program's screens join the main window without the window knowing
// them: one factory per page, and setup steps that run once the form is
// built (to install dialogs and message handlers). Pages without a factory
// show a placeholder, which is what the main window's own tests use.

#include <QWidget>
#include <functional>
#include <vector>

namespace melodrift {

struct AppSession;
class TMainForm;
class TScreenPage;

using PageFactory = std::function<TScreenPage*(TMainForm& form, AppSession& session, QWidget* parent)>;
using FormSetup = std::function<void(TMainForm& form, AppSession& session)>;

void SetPageFactory(int page, PageFactory factory);
void AddFormSetup(FormSetup setup);
// Forgets every registration, the progress dialog's too (tests that build
// forms with and without screens).
void ClearScreenRegistry();

PageFactory PageFactoryFor(int page);
const std::vector<FormSetup>& FormSetups();

} // namespace melodrift
