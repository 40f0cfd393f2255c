// Stands in for the print viewer in the tests of the print activities: it
// records its arguments, one a line, in viewer-args.txt beside itself. The
// record is written under a temporary name and renamed, so that a test never
// reads half of it.
#include <filesystem>
#include <fstream>

int main(int argc, char** argv) {
  if (argc < 1) return 2;
  const std::filesystem::path folder = std::filesystem::absolute(argv[0]).parent_path();
  const std::filesystem::path part = folder / "viewer-args.part";
  {
    std::ofstream out(part, std::ios::binary);
    for (int i = 1; i < argc; ++i) out << argv[i] << '\n';
    if (!out.flush()) return 1;
  }
  std::error_code error;
  std::filesystem::rename(part, folder / "viewer-args.txt", error);
  return error ? 1 : 0;
}
