#pragma once

// What a choice among the staged package's files came to, as the installer will see it.
enum class SelectionResult {
    Made,            // the caller's choice is what the installer finds
    NotInPackage,    // the package lacks a file of the choice; what it has is left as it is
    Failed,          // the installer would find another choice than the caller's
};
