#include "script_runner.h"

namespace play {

void ScriptRunner::run(const std::function<void(const Command&)>& perform) {
  if (next_ >= steps_.size()) return;
  const ScriptStep& step = steps_[next_];
  bool due = false;
  if (step.afterDelay) {
    due = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - last_).count() >= step.ms;
  } else if (!armed_) {
    armed_ = true;
    // The clock stops by itself at the step's time; one already there or past plays it now.
    due = !clock_->stopAt(step.ms);
  } else {
    due = !clock_->isRunning() && clock_->currentTime() == step.ms;
  }
  if (!due) return;
  bool stoppedHere = !step.afterDelay && !control_->paused();
  if (stoppedHere) clock_->pause();  // holds the clock at the step's time, without the stop
  perform(step.command);
  if (stoppedHere && !control_->paused()) clock_->play();
  ++next_;
  armed_ = false;
  last_ = std::chrono::steady_clock::now();
}

}  // namespace play
