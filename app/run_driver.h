#pragma once

#include "outcome.h"
#include "result_codes.h"
#include "run_state.h"

namespace bfq {

// Reads the request's Title and Path from the configuration file.
Outcome readActivationRequest(platform::Profile& config, char (&title)[kValueSize], char (&path)[kValueSize]);

// The phases of a run in their fixed order, up to the outcome that ends it.
Outcome runActivation(RunState& state);

// One whole run: banner, phases, report. Returns the result code.
RunResult runTool();

}  // namespace bfq
