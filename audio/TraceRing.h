#pragma once

#include "audio/SpscRing.h"
#include "audio/TraceRecord.h"

// Executed instructions from the audio thread to the trace writer.
using TraceRing = SpscRing<TraceRecord>;
