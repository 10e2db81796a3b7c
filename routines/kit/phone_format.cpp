#include "routines/kit/phone_format.h"

#include "shell/text/text.h"

namespace talvor {

std::string NormalizePhone(std::string_view text) {
  std::string phone(text);
  for (char& c : phone) {
    const bool kept = (c >= '0' && c <= '9') || c == '(' || c == ')' || c == '-';
    if (!kept) c = ' ';
  }
  RemoveAll(" ", phone);
  RemoveAll("(", phone);
  RemoveAll(")", phone);
  RemoveAll("-", phone);
  phone = Trim(phone);
  if (phone.empty()) return std::string(kEmptyPhone);
  if (phone.size() == 7) phone = "000" + phone;
  if (phone.size() != 10) return std::string(kEmptyPhone);
  return "(" + phone.substr(0, 3) + ")" + phone.substr(3, 3) + "-" + phone.substr(6);
}

}  // namespace talvor
