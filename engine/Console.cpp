#include "Console.h"

#include "ConsoleFontPicture.h"
#include "DataFile.h"
#include "Device.h"
#include "Font.h"
#include "Image.h"
#include "RenderState.h"
#include "Texture.h"
#include "XmlAttribute.h"
#include "XmlDocument.h"
#include "XmlNode.h"

#include <cstdio>
#include <memory>

const std::string Console::glyphOrder =
    " !\"#   '() +,-. 0123456789:;_=   ABCDEFGHIJKLMNOPQRSTUVWXYZ";

namespace {
const float repeatDelay = 0.2f;
const int promptHeight = 32;
} // namespace

Console::Console(XmlDocument* variables)
    : variables_(variables),
      visible_(false),
      clock_(0),
      background_(nullptr),
      font_(nullptr)
{
    repeats_.reserve(16);
}

Console::~Console()
{
    releaseGraphics();
}

void Console::createGraphics()
{
    releaseGraphics();
    {
        DataFile file("font.png", consoleFontPicture, consoleFontPictureSize);
        std::unique_ptr<Image> image(loadImage(file, true));
        if (image)
            font_ = buildBitmapFont(image.get(), glyphOrder, 16, 32);
        if (!font_)
            std::fprintf(stderr, "console: its font picture cannot be read\n");
    }
    background_ = createBlankTexture(false, 1, 1);
    if (background_)
        background_->setAlpha(176, false);
    visible_ = false;
    clock_ = 0;
    line_.clear();
}

void Console::releaseGraphics()
{
    delete font_;
    font_ = nullptr;
    delete background_;
    background_ = nullptr;
}

void Console::draw(float elapsedSeconds)
{
    clock_ += elapsedSeconds;
    if (!visible_)
        return;
    Device* device = Device::instance();
    if (!device)
        return;
    const int fill = device->getRenderState(RenderStateType::fillMode);
    device->setRenderState(RenderStateType::fillMode, RenderStateValue::fillSolid);
    device->setRenderState(RenderStateType::blendMode, RenderStateValue::blendAlpha);
    const int W = device->width();
    const int H = device->height();
    if (background_)
        background_->draw(0, H - promptHeight, W, H, 0, 0, 1, 1);
    shown_ = line_;
    // The "#" cursor blinks: half a second on, half a second off.
    if (static_cast<long long>(clock_ * 2) % 2 == 1)
        shown_ += '#';
    if (font_)
        font_->drawText(0, H - promptHeight, shown_);
    device->setRenderState(RenderStateType::fillMode, fill);
}

void Console::onKey(int key)
{
    const float expiry = clock_ + repeatDelay;
    bool blocked = false;
    for (size_t i = 0; i < repeats_.size();) {
        if (repeats_[i].key != key) {
            ++i;
        } else if (repeats_[i].time > clock_) {
            blocked = true;
            ++i;
        } else {
            repeats_.erase(repeats_.begin() + i);
        }
    }
    if (blocked)
        return;

    if (key == 9) {
        visible_ = !visible_;
    } else if (visible_) {
        if (key == 8) {
            if (!line_.empty())
                line_.pop_back();
        } else if (key == 13) {
            size_t blank = line_.find(' ');
            if (blank != std::string::npos) {
                std::string name = line_.substr(0, blank);
                std::string value = line_.substr(blank + 1);
                setVariable(name, value);
                line_.clear();
            }
        } else {
            char c = static_cast<char>(key & 0xFF);
            if (c >= 'a' && c <= 'z')
                c = static_cast<char>(c - 'a' + 'A');
            if (glyphOrder.find(c) != std::string::npos)
                line_ += c;
        }
    }
    repeats_.push_back({key, expiry});
}

void Console::setVariable(const std::string& name, const std::string& value)
{
    XmlNode* root = variables_ ? variables_->root() : nullptr;
    XmlNode* list = root ? root->findElement("variables") : nullptr;
    if (!list) {
        std::fprintf(stderr, "console: no \"variables\" element; %s not stored\n", name.c_str());
        return;
    }
    if (XmlNode* element = list->findElement(name)) {
        if (XmlAttribute* attribute = element->findAttribute("value"))
            attribute->setValue(value);
        else
            element->addAttribute(new XmlAttribute("value", value));
        return;
    }
    XmlNode* element = list->createChild(name);
    element->addAttribute(new XmlAttribute("value", value));
}
