#pragma once

#include "fuzz/RadioStream.h"

namespace varnel::fuzz {

// Plays the stream as the radio's answers to the shipped procedures, one after the other on
// sessions that open the same scripted line, checks each as it returns, and notes what each did
// in summary.
void CheckProcedures(const RadioStream& stream, StreamSummary& summary);

}  // namespace varnel::fuzz
