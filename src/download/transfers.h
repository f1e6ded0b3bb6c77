// The attempts a connection makes, one per scheme: each fetches (or, over
// FTP, sends) the link's piece once and says how that went.
#pragma once

#include "link.h"

namespace lumora {

TransferResult http_transfer(Link& link);
TransferResult ftp_transfer(Link& link);
class FtpControl;
// The upload half of an FTP session, once logged in with the type set.
TransferResult ftp_upload(Link& link, FtpControl& control, bool resumable);

}  // namespace lumora
