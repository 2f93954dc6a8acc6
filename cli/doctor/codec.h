// The engine's codec (library tavrin_codec): the SIP-C message and stream
// cutter, the login digest, Base64 and the navigation texts. The doctor includes its headers only
// here, so that a move of the codec's files changes one place.
#pragma once

#include "session/digest.h"
#include "session/navigation_text.h"
#include "sipc/base64.h"
#include "sipc/message.h"
#include "sipc/stream_cutter.h"
