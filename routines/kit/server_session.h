// The session that some routines work through, named after the Server box.
#pragma once

namespace talvor {

class TForm1;

// Names PvSession1 after edtServerName and makes it active. A session still active from an
// earlier routine (some leave it so) is made inactive first, so that it can be renamed; no
// component is open between routines, so nothing of a run is closed by that.
// Throws sqldb::Error when the Server box is empty.
void StartServerSession(TForm1& form);

}  // namespace talvor
