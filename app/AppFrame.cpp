#include "app/AppFrame.h"

#include "platform/Host.h"

// A frame without prompts answers as an unattended run would: questions
// with Yes, everything else with OK.
int IAppFrame::MessageBox(const CString&, const CString&, UINT type) {
  UINT kind = type & MB_TYPEMASK;
  return kind == MB_YESNO || kind == MB_YESNOCANCEL ? IDYES : IDOK;
}
