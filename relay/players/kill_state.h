// Kill bookkeeping state beyond the player table (per-map weapon statistics).
#pragma once

struct KillState {
};
