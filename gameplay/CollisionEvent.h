#ifndef QUORIN_COLLISION_EVENT_H
#define QUORIN_COLLISION_EVENT_H

// One contact found by Ship::collide: which corner of the ship's box touched
// what. Corners: 1 rear-left, 2 rear-right, 3 front-left, 4 front-right.
// Tile 0 on a rear corner also stands for hanging over the left (1) or right
// (2) edge of the track.
struct CollisionEvent
{
    int corner;
    int tile;
};

#endif
