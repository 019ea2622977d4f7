// Draws one page with a rule and a word to PDF on standard output.
#include <cstdio>

#include "pressel/render/render.hpp"

int main() {
    pressel::Page page;
    page.number = 1;
    page.width = 200;
    page.height = 100;
    page.rules.push_back({10, 10, 50, 2, 0});
    pressel::TextRun run;
    run.x = 10;
    run.y = 50;
    run.font = "C0H20000";
    run.size = 10;
    run.text = "Pressel";
    for (int k = 0; k < 7; ++k) {
        run.offsets.push_back(float(6 * k));
        run.advances.push_back(6);
    }
    page.text.push_back(run);
    bool one = false;
    {
        pressel::render::PdfWriter pdf(
            [](std::span<const unsigned char> b) { std::fwrite(b.data(), 1, b.size(), stdout); });
        pdf.add(page);
        pdf.close();
        one = pdf.pages() == 1;
    }
    // With no writer left, frees fontconfig's and cairo's process-wide
    // caches, so that a leak checker (the sanitizer build) sees none of them.
    pressel::render::releaseStaticData();
    return one ? 0 : 1;
}
