#ifndef QUORIN_CONSOLE_H
#define QUORIN_CONSOLE_H

#include <string>
#include <vector>

class Font;
class Texture;
class XmlDocument;

// A one-line prompt over the bottom of the window. Tab shows and hides it;
// a line "NAME VALUE" and Enter stores VALUE as the "value" attribute of the
// element NAME under the "variables" element of the variables tree. A held
// key acts at most once every 0.2 seconds of console time. Its font comes
// from a picture built into the program, not from the data archive.
class Console {
public:
    // The characters the prompt accepts, in the cell order of its font
    // picture.
    static const std::string glyphOrder;

    // The tree stays the caller's.
    explicit Console(XmlDocument* variables);
    virtual ~Console();

    // Builds the font and the background, hides the prompt and empties it.
    void createGraphics();
    void releaseGraphics();
    // Advances the console clock and, when visible, draws the prompt.
    void draw(float elapsedSeconds);
    void onKey(int key);
    // Without a "variables" element in the tree nothing is stored (a
    // message goes to stderr).
    void setVariable(const std::string& name, const std::string& value);

    bool isVisible() const { return visible_; }
    const std::string& line() const { return line_; }
    float clock() const { return clock_; }
    Font* font() const { return font_; }
    Texture* background() const { return background_; }

private:
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    struct Repeat {
        int key;
        float time;
    };

    XmlDocument* variables_;
    bool visible_;
    float clock_;
    std::vector<Repeat> repeats_;
    Texture* background_;
    Font* font_;
    std::string line_;
    std::string shown_;   // the drawn text, kept to avoid a per-frame allocation
};

#endif
