#include "app/message_dialog.h"

#include <wx/app.h>
#include <wx/msgdlg.h>
#include <wx/toplevel.h>

#include "platform/message.h"

namespace {
long dialogStyle(MessageStyle style) {
    switch (style) {
    case MessageStyle::ok: return wxOK | wxICON_INFORMATION;
    case MessageStyle::okError: return wxOK | wxICON_ERROR;
    case MessageStyle::okExclamation: return wxOK | wxICON_WARNING;
    case MessageStyle::yesNoCancel: return wxYES_NO | wxCANCEL | wxICON_WARNING;
    case MessageStyle::yesNo: return wxYES_NO | wxICON_QUESTION;
    case MessageStyle::okCancel: return wxOK | wxCANCEL | wxICON_QUESTION;
    case MessageStyle::recoverDiscardLater: return wxYES_NO | wxCANCEL | wxICON_QUESTION;
    }
    return wxOK | wxICON_INFORMATION;
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
    // Every box is titled with the program's name; a caption of its own ("GL Error",
    // "Save changes?") becomes the box's heading above the text.
    const bool heading = !caption.empty() && caption != programCaption();
    wxMessageDialog dialog(owner, wxString::FromUTF8(heading ? caption : text), wxString::FromUTF8(programCaption()),
                           dialogStyle(style));
    if (heading) dialog.SetExtendedMessage(wxString::FromUTF8(text));
    if (style == MessageStyle::recoverDiscardLater) dialog.SetYesNoCancelLabels("&Recover", "&Discard", "&Later");
    return answerOf(dialog.ShowModal());
}
}  // namespace

void installMessageDialogs() { setMessageHandler(showDialog); }
