#pragma once

// True only when the calling thread's effective token has the Administrators group enabled.
bool IsAdminMember();
