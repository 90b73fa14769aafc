// A printer document for tests whose pages are one image, so that what the print loop played can
// be counted, with a hook at each page's start.
#pragma once

#include <QImage>
#include <functional>
#include <memory>
#include <string>

#include "engine/output/printer_job.h"
#include "platform/gdi/qpainter_dc.h"

namespace kp {

class ImageDocument final : public PrinterDocument {
  public:
    explicit ImageDocument(const PageGeometry& page)
        : image_(page.horzRes, page.vertRes, QImage::Format_RGB32), dc_(&image_, page.dpiX) {
        image_.fill(Qt::white);
        last = this;
    }
    ~ImageDocument() override { last = nullptr; }
    plat::DeviceContext* dc() override { return &dc_; }
    bool Reset(const PageGeometry&, const plat::DevMode&) override { return true; }
    int32_t StartDoc(const std::string&, int32_t* id) override {
        *id = 7;
        return 0;
    }
    int32_t StartPage() override {
        if (onStartPage) onStartPage();
        return 0;
    }
    int32_t EndPage() override {
        ++pages;
        return 0;
    }
    int32_t EndDoc() override { return 0; }
    int32_t AbortDoc() override { return 0; }
    int Dark() const {
        int n = 0;
        for (int y = 0; y < image_.height(); ++y)
            for (int x = 0; x < image_.width(); ++x) n += qGray(image_.pixel(x, y)) < 40;
        return n;
    }
    static inline ImageDocument* last = nullptr;
    static inline std::function<void()> onStartPage;
    int pages = 0;

  private:
    QImage image_;
    plat::QPainterDc dc_;
};

inline std::unique_ptr<PrinterDocument> MakeImageDocument(const std::string&, const PrinterModel&,
                                                          const PageGeometry& page,
                                                          const plat::DevMode&) {
    return std::make_unique<ImageDocument>(page);
}

}  // namespace kp
