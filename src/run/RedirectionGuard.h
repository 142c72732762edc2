#pragma once

// Asks the platform to follow no junction that a non-administrator made, for the rest of the
// process's life. Platforms without that policy (before Windows 11 22H2) lack the call or
// refuse the policy; the run goes on without it. True when the platform accepted it.
bool EnforceRedirectionTrust();
