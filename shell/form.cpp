#include "shell/form.h"

#include "sqldb/database.h"

namespace talvor {

StatusLabel& StatusLabel::operator=(std::string text) {
  caption_ = std::move(text);
  frontend_->ShowStatus(caption_);
  if (frontend_->StopWanted()) throw RunStopped();
  return *this;
}

TForm1::TForm1(Frontend& frontend, const Clock& clock)
    : Components(&Formats), Label3(&frontend), frontend_(&frontend), clock_(&clock) {
  Label3.caption_ = kInitialStatus;
}

void TForm1::ApplySettings(const SiteSettings& s) {
  edtDatapath = s.dataPath;
  edtODBCName = s.odbcName;
  edtAgyCode = s.agyCode;
  edtServerName = s.serverName;
  edtNewPath = s.newPath;
  edtPrdCode = s.prdCode;
}

SiteSettings TForm1::Settings() const {
  return SiteSettings{edtDatapath, edtODBCName, edtAgyCode, edtServerName, edtNewPath, edtPrdCode};
}

int TForm1::AskYesNo(const std::string& text) {
  sqldb::BeforeWaiting();
  return frontend_->AskYesNo(ShowableText(text));
}

void TForm1::Notify(const std::string& text) {
  sqldb::BeforeWaiting();
  frontend_->Notify(ShowableText(text));
}

Frontend& TForm1::SetFrontend(Frontend& frontend) {
  Frontend& previous = *frontend_;
  frontend_ = &frontend;
  Label3.frontend_ = &frontend;
  return previous;
}

NotifyFn TForm1::Notifier() {
  return [this](const std::string& text) { Notify(text); };
}

void TForm1::ProcessMessages() { frontend_->ProcessMessages(); }

void TForm1::ResetComponents() { CloseAll(); }

}  // namespace talvor
