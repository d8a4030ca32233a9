#ifndef QUORIN_BACKDROP_H
#define QUORIN_BACKDROP_H

#include <string>

class Texture;
class Mesh;

// The background of the menus and the races: a picture stretched over the
// window and a large additive quad of clouds drifting just below the eye.
class Backdrop {
public:
    ~Backdrop();

    // Replaces both pictures (the old ones are deleted first). A picture that
    // cannot be loaded is reported as a content error.
    void setTextures(const std::string& backgroundPath, const std::string& cloudsPath);

    // Draws into the current viewport. Leaves depth testing and culling off
    // and the projection and model-view matrices as it set them.
    void draw();

    Texture* background = nullptr;
    Texture* clouds = nullptr;
    Mesh* quad = nullptr;

private:
    friend Backdrop* createBackdrop();
    Backdrop() {}
};

// A backdrop with its quad built and no pictures yet.
Backdrop* createBackdrop();

#endif
