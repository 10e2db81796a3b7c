#include "routines/kit/server_session.h"

#include "shell/form.h"

namespace talvor {

void StartServerSession(TForm1& form) {
  if (form.PvSession1.Active()) form.PvSession1.SetActive(false);
  form.PvSession1.SetSessionName(form.edtServerName);
  form.PvSession1.SetActive(true);
}

}  // namespace talvor
