#pragma once

// How each verb of ordalis-cli runs (its row in Verbs.cpp names it).

namespace ordalis::cli {

struct CliOptions;
class Batch;

int RunSign(const CliOptions& options, Batch& batch);
int RunVerify(const CliOptions& options, Batch& batch);
int RunEnhance(const CliOptions& options, Batch& batch);
int RunEncrypt(const CliOptions& options, Batch& batch);
int RunDecrypt(const CliOptions& options, Batch& batch);

} // namespace ordalis::cli
