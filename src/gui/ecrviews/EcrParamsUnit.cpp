#include "gui/ecrviews/EcrParamsUnit.h"

#include "gui/app/LngTranslate.h"
#include "ui_EcrParamsUnit.h"

TEcrParamsFrame::TEcrParamsFrame(QWidget* parent) : QWidget(parent), ui_(new Ui::TEcrParamsFrame)
{
    ui_->setupUi(this);
    MarkLanguageWindow(this);
}

TEcrParamsFrame::~TEcrParamsFrame()
{
    delete ui_;
}
