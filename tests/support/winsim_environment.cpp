// Turns a scenario failure reported by the simulated desktop (a runaway or stalled message
// loop) into a failure of the running test instead of an abort.
#include <gtest/gtest.h>
#include <winsim/control.h>

namespace {
class WinsimEnvironment : public ::testing::Environment {
  public:
    void SetUp() override {
        winsim::control::SetFailureHandler(
            [](const std::string& message) { ADD_FAILURE() << "winsim: " << message; });
    }
};
const auto* const environment = ::testing::AddGlobalTestEnvironment(new WinsimEnvironment);
} // namespace
