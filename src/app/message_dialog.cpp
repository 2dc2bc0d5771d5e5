#include "app/message_dialog.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/toplevel.h>

#include "platform/message.h"

namespace {
long dialogStyle(MessageStyle style) {
    switch (style) {
    case MessageStyle::ok: return wxOK;
    case MessageStyle::okError: return wxOK | wxICON_ERROR;
    case MessageStyle::okExclamation: return wxOK | wxICON_EXCLAMATION;
    case MessageStyle::yesNoCancel: return wxYES_NO | wxCANCEL | wxICON_EXCLAMATION;
    case MessageStyle::yesNo: return wxYES_NO;
    case MessageStyle::okCancel: return wxOK | wxCANCEL;
    }
    return wxOK;
}

MessageAnswer answerOf(int result) {
    switch (result) {
    case wxID_YES: return MessageAnswer::yes;
    case wxID_NO: return MessageAnswer::no;
    case wxID_CANCEL: return MessageAnswer::cancel;
    default: return MessageAnswer::ok;
    }
}

MessageAnswer showDialog(const std::string& text, const std::string& caption, MessageStyle style) {
    wxWindow* owner = wxGetActiveWindow();
    if (owner == nullptr && wxTheApp != nullptr) owner = wxTheApp->GetTopWindow();
    if (owner != nullptr && !owner->IsShown()) owner = nullptr;
    wxMessageDialog dialog(owner, wxString::FromUTF8(text), wxString::FromUTF8(caption), dialogStyle(style));
    return answerOf(dialog.ShowModal());
}
}  // namespace

void installMessageDialogs() { setMessageHandler(showDialog); }
