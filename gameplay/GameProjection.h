#ifndef QUORIN_GAME_PROJECTION_H
#define QUORIN_GAME_PROJECTION_H

// Loads the projection every 3D view of the game uses (45 degrees, near
// 0.00001, far 1000, the window's aspect), then an identity model-view,
// which is left selected.
void loadGameProjection();

#endif
