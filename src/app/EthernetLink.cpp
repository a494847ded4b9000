// The main window's calls into its Ethernet link (EthConn).
#include "app/TForm1.h"

namespace app {

// Not built yet: the Ethernet link opens, closes or abandons its TCP
// connection here and posts its new state (UM_UPDATE_PORT); until it exists
// nothing connects and LinkState stays as it is.
void TForm1::EthToggleConnection(const std::string&, std::int32_t) {}

// Not built yet: the Ethernet link sends the bytes while its connection is
// open; until it exists they are dropped, as on a closed link.
void TForm1::EthSendData(const std::string&) {}

// Not built yet: the Ethernet link hands received chunks to the fast-write
// capture writer while this is on.
void TForm1::EthSetFastWriteMode(bool) {}

// Not built yet: start-up creates the Ethernet link object (EthConn) here.
void TForm1::CreateEthernetLink() {}

// Not built yet: shutdown destroys the Ethernet link object here, closing an
// open TCP connection.
void TForm1::DestroyEthernetLink() {}

}  // namespace app
