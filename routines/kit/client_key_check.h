// Whether a Customer row can address its client lines in the agency master file "ap".
#pragma once

#include <string_view>

namespace talvor {

class TForm1;

// True when `agency` trimmed is one or two bytes and `number` trimmed one to six: the key of
// the client's "ap" lines (ApKey) then names exactly this client. Otherwise shows
// "Client [" + agency + "][" + number + "] does not fit the ap key; its ap lines were not
// changed" with Notify and returns false: a longer value would be cut and address another
// client's lines, an empty one a record of no client.
bool ClientFitsApKey(TForm1& form, std::string_view agency, std::string_view number);

}  // namespace talvor
