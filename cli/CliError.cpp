#include "CliError.h"

namespace melodrift::cli {

CliError::CliError(ExitCode code, const std::string& message) : std::runtime_error(message), m_code(code) {}

void Fail(ExitCode code, const std::string& message)
{
    throw CliError(code, message);
}

} // namespace melodrift::cli
