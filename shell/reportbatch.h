#pragma once

struct ShellOptions;

// Renders the report of --report with its --param values to --output (PDF or CSV) and returns
// the exit status: 0 when written, 1 with the reason on stderr otherwise.
int RunReportBatch(const ShellOptions &options);
