#pragma once
// The register models the program knows: each model's name, the code that
// selects it on the command line (none for the models reached only by name),
// its family (the "CM-" models use other command bytes) and the model codes
// its answer to ENQ may carry. The command line, the link protocol and the
// register emulator all read this one list.
#include <array>
#include <string>
#include <string_view>

namespace ModelName {
constexpr std::string_view Ecr39 = "ECR 39T";
constexpr std::string_view Ecr40 = "ECR 40T/42T";
constexpr std::string_view Ecr359 = "ECR 359T";
constexpr std::string_view Ecr360 = "ECR 360T/360TF";
constexpr std::string_view Ecr362 = "ECR 362T/362TF";
constexpr std::string_view Ecr460 = "ECR 460T/460TF";
constexpr std::string_view Ecr465 = "ECR 465T/465TF";
constexpr std::string_view Ecr466 = "ECR 466T/466TF";
constexpr std::string_view Ecr396 = "ECR 396F";
constexpr std::string_view Ecr549 = "ECR 549";
constexpr std::string_view Ecr579R = "ECR 579/579R";
constexpr std::string_view Ecr579F = "ECR 579F";
constexpr std::string_view Ecr649 = "ECR 649F";
constexpr std::string_view Ecr650 = "ECR 650F";
constexpr std::string_view Ecr652 = "ECR 652F";
constexpr std::string_view Cm840 = "CM-840/842";
constexpr std::string_view Cm1840F = "CM-1840F";
constexpr std::string_view Cm1840S = "CM-1840S";
constexpr std::string_view Cm1846F = "CM-1846F";
constexpr std::string_view Cm1846S = "CM-1846S";
constexpr std::string_view Cm1856F = "CM-1856F";
}  // namespace ModelName

struct TModel {
  std::string_view Name;
  /// The value of "/ECR=" that selects the model; empty for none.
  std::string_view Code;
  bool CmFamily = false;
  /// The model codes of the answer to ENQ, 0 where the list ends.
  std::array<int, 4> EnqCodes{};

  constexpr bool AcceptsEnqCode(int code) const {
    for (const int accepted : EnqCodes) {
      if (accepted != 0 && accepted == code) return true;
    }
    return false;
  }
};

inline constexpr std::array<TModel, 21> Models = {{
    {ModelName::Ecr39, "39", false, {13}},
    {ModelName::Ecr40, "40", false, {15}},
    {ModelName::Ecr359, "359", false, {1, 2}},
    {ModelName::Ecr360, "360", false, {11, 12}},
    {ModelName::Ecr362, "362", false, {16, 17}},
    {ModelName::Ecr465, "465", false, {18, 19, 22, 23}},
    {ModelName::Ecr466, "466", false, {20, 21}},
    {ModelName::Ecr396, "396", false, {7, 8, 9}},
    {ModelName::Ecr549, "549", false, {3}},
    {ModelName::Ecr579R, "579E", false, {5, 6}},
    {ModelName::Ecr579F, "579", false, {14}},
    {ModelName::Ecr649, "649", false, {7, 8, 9}},
    {ModelName::Ecr650, "650", false, {7, 8, 9}},
    {ModelName::Ecr652, "652", false, {10}},
    {ModelName::Ecr460, "", false, {18, 19, 22, 23}},
    {ModelName::Cm840, "", true, {8}},
    {ModelName::Cm1856F, "", true, {1}},
    {ModelName::Cm1846F, "", true, {2}},
    {ModelName::Cm1840F, "", true, {3}},
    {ModelName::Cm1840S, "", true, {4}},
    {ModelName::Cm1846S, "", true, {5}},
}};

/// The model name of a model code ("465" -> "ECR 465T/465TF"), empty when the
/// code selects no model.
std::string ModelNameOfCode(std::string_view code);

/// The highest model code that an answer to ENQ of the family may carry.
constexpr int HighestEnqCode(bool cmFamily) {
  int highest = 0;
  for (const auto& model : Models) {
    if (model.CmFamily != cmFamily) continue;
    for (const int code : model.EnqCodes) highest = code > highest ? code : highest;
  }
  return highest;
}

/// The model of a name, or null.
const TModel* ModelNamed(std::string_view name);
