// Owns the stand-in assistant's named objects: the block mutex and the file
// mapping that carries the SharedStateBlock. Every write to the block goes
// through Publish, under the mutex, from the one UI thread.
#pragma once
#include <string>

#include "block_state.h"
#include "common/win.h"

namespace kovalt {

// "KovaltFileMappingObject", followed by the number in decimal unless it is 0.
std::wstring MappingName(int number);

class Publisher {
public:
    // Creates the mutex and the mapping for `number` and maps the block. A
    // mapping of that name that already exists (a plug-in still holds the one
    // of an earlier run) is taken over. False with a message on failure.
    bool Open(int number, std::wstring* error);

    // Rewrites the block from `state` under the mutex. The first publish
    // zeroes the whole block first, so a taken-over mapping starts clean.
    void Publish(const PublishedState& state);

    // Whether Open found the mapping already there.
    bool TookOver() const { return took_over_; }

private:
    pintle::UniqueHandle mutex_;
    pintle::UniqueHandle mapping_;
    pintle::MappedView view_;
    bool zeroed_ = false;
    bool took_over_ = false;
};

}  // namespace kovalt
