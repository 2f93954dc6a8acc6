// A libFuzzer binary's default -max_len: added to its arguments unless the
// command line sets one, so that seeds as large as a deeply nested XML body
// are run whole and mutated, not cut to the fuzzer's guess.
#include <cstring>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
  for (int i = 1; i < *argc; ++i)
    if (std::strncmp((*argv)[i], "-max_len=", 9) == 0) return 0;
  static std::vector<char*> args;
  static std::string max_len = "-max_len=" + std::to_string(TAVRIN_FUZZ_MAX_LEN);
  args.assign(*argv, *argv + *argc);
  args.push_back(max_len.data());
  args.push_back(nullptr);
  *argc = static_cast<int>(args.size()) - 1;
  *argv = args.data();
  return 0;
}
