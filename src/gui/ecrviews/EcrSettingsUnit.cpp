#include "gui/ecrviews/EcrSettingsUnit.h"

#include "gui/app/LngTranslate.h"
#include "ui_EcrSettingsUnit.h"

TEcrSettingsFrame::TEcrSettingsFrame(QWidget* parent)
    : QWidget(parent), ui_(new Ui::TEcrSettingsFrame)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
}

TEcrSettingsFrame::~TEcrSettingsFrame()
{
    delete ui_;
}

void TEcrSettingsFrame::LoadSettingsIntoView()
{
    ++loadCount_;
}
