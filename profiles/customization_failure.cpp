#include "profiles/customization_failure.h"

namespace {

ProfileResult documentFailure(DocumentError error) {
  switch (error) {
    case DocumentError::kFileMissing:
      return ProfileResult::kFileMissing;
    case DocumentError::kNotRegularFile:
      return ProfileResult::kNotRegularFile;
    case DocumentError::kReadFailed:
      return ProfileResult::kReadFailed;
    case DocumentError::kTooLarge:
      return ProfileResult::kFileTooLarge;
    case DocumentError::kOutOfMemory:
      return ProfileResult::kOutOfMemory;
    case DocumentError::kMalformed:
      return ProfileResult::kMalformedDocument;
    case DocumentError::kChanged:
      return ProfileResult::kChangedDuringRun;
    case DocumentError::kNone:
    case DocumentError::kNoDocument:
    case DocumentError::kWriteFailed:
      break;
  }
  return ProfileResult::kSaveFailed;
}

}  // namespace

ProfileResult customizationFailure(const PackageFailure& failure) {
  switch (failure.error) {
    case PackageError::kDocument:
      return documentFailure(failure.document);
    case PackageError::kFileMissing:
      return ProfileResult::kFileMissing;
    case PackageError::kNotRegularFile:
      return ProfileResult::kNotRegularFile;
    case PackageError::kReadFailed:
      return ProfileResult::kReadFailed;
    case PackageError::kArchiveTooLarge:
    case PackageError::kMemberTooLarge:
      return ProfileResult::kFileTooLarge;
    case PackageError::kOutOfMemory:
      return ProfileResult::kOutOfMemory;
    case PackageError::kDamagedArchive:
      return ProfileResult::kDamagedArchive;
    case PackageError::kBadCrc:
      return ProfileResult::kBadCrc;
    case PackageError::kAmbiguousPart:
      return ProfileResult::kAmbiguousPart;
    case PackageError::kUnsupportedCompression:
      return ProfileResult::kUnsupportedCompression;
    case PackageError::kNotAPackage:
      return ProfileResult::kMalformedPackage;
    case PackageError::kChanged:
      return ProfileResult::kChangedDuringRun;
    case PackageError::kNone:
    case PackageError::kNotSavable:
    case PackageError::kWriteFailed:
      break;
  }
  return ProfileResult::kSaveFailed;
}
