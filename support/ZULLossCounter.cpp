#include "ZULLossCounter.h"

#include "ZULText.h"

ZULLossCounter::ZULLossCounter(std::string module, std::string function, std::string unit, std::string cause)
    : module_(std::move(module)),
      function_(std::move(function)),
      unit_(std::move(unit)),
      cause_(std::move(cause)) {}

void ZULLossCounter::SetErrorHistory(TZULErrorHistory* errors) {
    std::lock_guard guard(lock_);
    errors_ = errors;
}

void ZULLossCounter::Lost(uint64_t amount) {
    std::lock_guard guard(lock_);
    episodeLost_ += amount;
    totalLost_ += amount;
}

void ZULLossCounter::Accepted() {
    std::lock_guard guard(lock_);
    if (episodeLost_ != 0) RecordEpisodeLocked();
}

void ZULLossCounter::Close() {
    Accepted();
}

uint64_t ZULLossCounter::TotalLost() const {
    std::lock_guard guard(lock_);
    return totalLost_;
}

void ZULLossCounter::RecordEpisodeLocked() {
    if (errors_)
        errors_->AddError(module_, function_,
                          ZULFormat(ZUL_TEXT("LossCounter", "%1 %2 lost (%3)"),
                                    {std::to_string(episodeLost_), unit_, cause_}));
    episodeLost_ = 0;
}
