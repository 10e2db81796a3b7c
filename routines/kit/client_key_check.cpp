#include "routines/kit/client_key_check.h"

#include <string>

#include "shell/form.h"
#include "shell/text/text.h"

namespace talvor {

bool ClientFitsApKey(TForm1& form, std::string_view agency, std::string_view number) {
  const std::string trimmedAgency = Trim(agency);
  const std::string trimmedNumber = Trim(number);
  if (!trimmedAgency.empty() && trimmedAgency.size() <= 2 && !trimmedNumber.empty() &&
      trimmedNumber.size() <= 6) {
    return true;
  }
  form.Notify("Client [" + std::string(agency) + "][" + std::string(number) +
              "] does not fit the ap key; its ap lines were not changed");
  return false;
}

}  // namespace talvor
