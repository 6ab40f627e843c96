#pragma once
// Each stretch table builder (Stretch.h) keeps the last table it made: the same parameters again copy
// it. Tests and the bench call this to make the next builds compute their tables afresh.
namespace nyxel {

void ForgetStretchTables();

}  // namespace nyxel
