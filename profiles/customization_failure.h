// The one place where the reasons of the customization file's layers become a profile's
// result: a load or save that failed, of a plain file or a package.
#pragma once

#include "package/package_file.h"
#include "profiles/profile_result.h"

// The profile's result for a failed load or save (failure.failed() holds). A write that failed
// gives kSaveFailed, whatever made it fail.
ProfileResult customizationFailure(const PackageFailure& failure);
