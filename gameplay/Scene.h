#ifndef QUORIN_SCENE_H
#define QUORIN_SCENE_H

// Scene ids.
enum SceneId {
    sceneMenuHost = 0,
    sceneMainMenu = 1,
    sceneInstructions = 2,
    sceneShipSelect = 3,
    sceneRace = 4
};

// One screen of the game: asked once a frame to update and draw itself, fed
// the held keys before the frame, and telling its owner when it has finished
// and, by its id, what kind of scene it was.
class Scene {
public:
    virtual ~Scene() {}
    // Updates and draws one frame (reads Game::clock and Game::lastElapsed).
    virtual void frame() = 0;
    // One engine key number.
    virtual void onKey(int key) = 0;
    virtual bool isDone() = 0;
    virtual int getId() = 0;
};

// A new scene of the class of the id (see SceneId), in its starting state;
// null for any other id. The caller owns it.
Scene* createScene(int id);

#endif
