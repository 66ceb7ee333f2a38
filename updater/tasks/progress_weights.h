#pragma once
// Every weight and scale of the tasks' progress in one place. A task counts its
// work in units; the bars show percentages of units done.
//
//   download   one file weighs SizeWeight(its length); a transfer reports
//              ProgressUnits of that weight, or its bytes every
//              kUnknownSizeProgressBytes when the length is unknown
//   install    the files part (ActionUnits of each action, install/file_actions.h),
//              then the INI part and the registry part (kInstallItemUnits an item)
//   copy       a copy worker reports ProgressUnits of its source's weight

#include <algorithm>
#include <cstdint>
#include <limits>

// A finished item or task: the value of a full bar.
inline constexpr int kFullPercent = 100;

// The size weight of a file: the weight of the first step whose limit the
// length does not exceed, else kLargestSizeWeight; no length weighs 0.
struct SizeWeightStep {
  std::int64_t up_to_bytes;
  int weight;
};
inline constexpr SizeWeightStep kSizeWeightSteps[] = {
    {1048576, 10},   // up to 1 MiB
    {2621440, 20},   // up to 2.5 MiB
    {5242880, 30},   // up to 5 MiB
    {10485760, 40},  // up to 10 MiB
};
inline constexpr int kLargestSizeWeight = 50;  // above 10 MiB

// How often the bytes of a transfer of unknown size are reported.
inline constexpr std::int64_t kUnknownSizeProgressBytes = 64 * 1024;

// Units of the file actions of the installation. A copy weighs the size
// weight of its source and an unzip kUnzipEntryUnits per entry of its archive;
// with rollback, the backup adds the size weight of the copy's new location
// or the unzip's destination.
inline constexpr std::int32_t kDeleteUnits = 1;
inline constexpr std::int32_t kRegisterUnits = 1;
inline constexpr std::int32_t kRunUnits = 1;
inline constexpr std::int32_t kSetFileAttrUnits = 1;
inline constexpr std::int32_t kDownloadActionUnits = 0;  // done by the download task
// An unzip: each entry of its archive as it is extracted.
inline constexpr std::int32_t kUnzipEntryUnits = 1;
// The backup of a deleted file and the record of a registration, with rollback.
inline constexpr std::int32_t kDeleteBackupUnits = 1;
inline constexpr std::int32_t kRegisterBackupUnits = 1;

// Units of one INI or registry item of the installation.
inline constexpr std::int32_t kInstallItemUnits = 1;

// Size weight of a file of the given length: 0 (no length), 10, 20, 30, 40, 50.
constexpr int SizeWeight(std::int64_t length) {
  if (length <= 0) return 0;
  for (const SizeWeightStep& step : kSizeWeightSteps)
    if (length <= step.up_to_bytes) return step.weight;
  return kLargestSizeWeight;
}

// Progress units of a transfer: weight * min(percent done, 100) / 100, where
// percent = done * 100 / length. 0 when the length is unknown or not positive.
constexpr int ProgressUnits(std::int64_t done, std::int64_t length, int weight) {
  if (length <= 0 || done <= 0 || weight <= 0) return 0;
  // done * 100 cannot overflow for any length a file system holds; clamp first.
  const std::int64_t clamped = std::min(done, length);
  std::int64_t percent = clamped >= (std::numeric_limits<std::int64_t>::max() / kFullPercent)
                             ? clamped / (length / kFullPercent)
                             : clamped * kFullPercent / length;
  percent = std::min<std::int64_t>(percent, kFullPercent);
  return static_cast<int>(weight * percent / kFullPercent);
}

// part of whole in percent, held within 0..100; whole must be positive.
constexpr int PercentOf(std::int64_t part, std::int64_t whole) {
  return static_cast<int>(std::clamp<std::int64_t>(part * kFullPercent / whole, 0, kFullPercent));
}
