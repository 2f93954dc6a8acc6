// The engine's codec (library tavrin_codec): the SIP-C message and stream
// cutter, the login digest and Base64. The doctor includes its headers only
// here, so that a move of the codec's files changes one place.
#pragma once

#include "session/digest.h"
#include "sipc/base64.h"
#include "sipc/message.h"
#include "sipc/stream_cutter.h"
