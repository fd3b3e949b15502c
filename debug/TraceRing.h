#pragma once

#include "debug/TraceRecord.h"
#include "ring/SpscRing.h"

// Executed instructions from the audio thread to the trace writer.
using TraceRing = SpscRing<TraceRecord>;
