#include "TStyleSelForm.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>

#include "SkinArt.h"
#include "Tidelink.h"
#include "TMessageForm.h"
#include "TPNGButton.h"

namespace melodrift {

namespace {

constexpr int kWidth = 349, kHeight = 432;
constexpr int kListTop = 56, kItemHeight = 15;
const QColor kItemText(0x4F, 0x39, 0x1E);
const QColor kHotText(232, 212, 191);
const QColor kTitleInk(0x3C, 0x2B, 0x17);

const char* const kBoxNames[11] = {"流行", "民谣", "摇滚", "舞曲", "爵士", "蓝调", "桑巴", "古典", "圆舞曲", "独立", "全不选"};

} // namespace

TSkinToggle::TSkinToggle(const QString& caption, bool radio, QWidget* parent)
    : QWidget(parent), m_caption(caption), m_radio(radio)
{
    setFont(skin::SkinFont(12));
    setCursor(Qt::PointingHandCursor);
}

void TSkinToggle::SetChecked(bool on)
{
    if (on != m_checked) {
        m_checked = on;
        update();
    }
}

void TSkinToggle::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF box(1.5, (height() - 11) / 2.0, 11, 11);
    p.setPen(QColor(0xA4, 0x73, 0x46));
    p.setBrush(isEnabled() ? QColor(0xFF, 0xFB, 0xF3) : QColor(0xE0, 0xD6, 0xC8));
    if (m_radio)
        p.drawEllipse(box);
    else
        p.drawRoundedRect(box, 2, 2);
    if (m_checked) {
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(0x8A, 0x3B, 0x12));
        if (m_radio) {
            p.drawEllipse(box.adjusted(3, 3, -3, -3));
        } else {
            p.setPen(QPen(QColor(0x8A, 0x3B, 0x12), 2));
            p.drawPolyline(QPolygonF({box.topLeft() + QPointF(2.5, 5.5), box.topLeft() + QPointF(5, 8.5),
                                      box.topLeft() + QPointF(9, 2.5)}));
        }
    }
    p.setPen(isEnabled() ? kTitleInk : QColor(0xA8, 0x9A, 0x88));
    p.drawText(rect().adjusted(14, 0, 0, 0), Qt::AlignVCenter | Qt::AlignLeft, m_caption);
}

void TSkinToggle::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && onClick)
        onClick();
}

// The owner-drawn style list: 20 items of 15 pixels on the current page.
class TStyleList : public QWidget {
public:
    TStyleList(TStyleSelForm& form, QWidget* parent) : QWidget(parent), m_form(form)
    {
        setMouseTracking(true);
        setFont(skin::SkinFont(12));
    }
    int IndexAt(const QPoint& point) const
    {
        const auto entries = m_form.Logic().PageEntries();
        const int row = point.y() / kItemHeight;
        return point.y() >= 0 && row < static_cast<int>(entries.size()) ? entries[static_cast<size_t>(row)] : -1;
    }
    int hot = -1;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const TStyleSelLogic& logic = m_form.Logic();
        const auto entries = logic.PageEntries();
        for (size_t row = 0; row < entries.size(); ++row) {
            const int index = entries[row];
            const StyleEntry& entry = logic.Entry(index);
            const QRect item(0, static_cast<int>(row) * kItemHeight, width(), kItemHeight);
            const bool lit = index == logic.Selected() || index == hot;
            if (lit)
                p.fillRect(item, index == logic.Selected() ? QColor(0x8A, 0x5A, 0x2B) : QColor(0xB0, 0x80, 0x50));
            else if (row % 2)
                p.fillRect(item, QColor(0xF6, 0xEA, 0xD8));
            p.setPen(QColor(0xE8, 0xD8, 0xC0));
            p.drawLine(item.bottomLeft(), item.bottomRight());
            p.setPen(lit ? kHotText : kItemText);
            const QByteArray name(entry.info.name);
            const QString shownName =
                name.size() > 12 ? QString::fromUtf8(name.left(10)).remove(QChar::ReplacementCharacter) + QStringLiteral("...")
                                 : QString::fromUtf8(name);
            const QString description = QString::fromUtf8(entry.info.description);
            const QString shownDescription =
                description.size() > 12 ? description.left(10) + QStringLiteral("...") : description;
            p.drawText(QRect(15, item.top(), 128, kItemHeight), Qt::AlignVCenter, shownName);
            p.drawText(QRect(145, item.top(), 154, kItemHeight), Qt::AlignVCenter, shownDescription);
            if (!entry.Installed())
                DrawDownloadIcon(p, QRect(301, item.top() + 0, 15, 15), entry.uiState, lit);
        }
        if (entries.empty()) {
            p.setPen(QColor(0xA8, 0x9A, 0x88));
            p.drawText(rect().adjusted(0, 40, 0, 0), Qt::AlignHCenter | Qt::AlignTop, QStringLiteral("没有符合条件的风格"));
        }
    }
    static void DrawDownloadIcon(QPainter& p, const QRect& r, int state, bool lit)
    {
        const QColor ink = lit || state == 1 ? kHotText : QColor(0x2E, 0x7D, 0x32);
        if (state <= 1) {   // an arrow into a tray
            p.setPen(QPen(ink, 1.6));
            const QPointF c = QRectF(r).center();
            p.drawLine(QPointF(c.x(), r.top() + 2), QPointF(c.x(), r.bottom() - 4));
            p.drawPolyline(QPolygonF({QPointF(c.x() - 4, c.y() - 1), QPointF(c.x(), c.y() + 3), QPointF(c.x() + 4, c.y() - 1)}));
            p.drawLine(QPointF(r.left() + 2, r.bottom() - 1.5), QPointF(r.right() - 2, r.bottom() - 1.5));
            return;
        }
        // Ten frames of a turning arc.
        const int frame = (state >= 12 ? state - 12 : state - 2) % 10;
        p.setPen(QPen(ink, 2));
        p.drawArc(QRectF(r).adjusted(2, 2, -2, -2), -frame * 36 * 16, 270 * 16);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const int index = IndexAt(event->position().toPoint());
        if (index != hot) {
            hot = index;
            update();
            m_form.HideHint();
            if (index >= 0)
                m_form.ShowHintFor(index, event->globalPosition().toPoint());
        }
    }
    void leaveEvent(QEvent*) override
    {
        hot = -1;
        m_form.HideHint();
        update();
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        const int index = IndexAt(event->position().toPoint());
        if (index >= 0)
            m_form.PressItem(index, event->button() == Qt::RightButton, event->globalPosition().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* event) override
    {
        const int index = IndexAt(event->position().toPoint());
        if (index >= 0 && event->button() == Qt::LeftButton)
            m_form.ReleaseItem(index);
    }
    void mouseDoubleClickEvent(QMouseEvent* event) override
    {
        const int index = IndexAt(event->position().toPoint());
        if (index >= 0 && index == m_form.Logic().Selected() && m_form.Logic().ChooseEnabled())
            m_form.ClickChoose();
    }

private:
    TStyleSelForm& m_form;
};

// The page-number strip: up to six numbers in 20-pixel cells.
class TPageStrip : public QWidget {
public:
    TPageStrip(TStyleSelForm& form, QWidget* parent) : QWidget(parent), m_form(form)
    {
        setMouseTracking(true);
        QFont font = skin::SkinFont(11);
        setFont(font);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        const TStyleSelLogic& logic = m_form.Logic();
        int x = 0;
        for (int page : logic.StripPages()) {
            const QRect cell(x, 0, 20, height());
            if (page == m_hot)
                p.fillRect(cell.adjusted(1, 1, -1, -1), QColor(0xF1, 0xCD, 0x8F));
            if (page == logic.Page()) {
                p.setPen(QColor(0x8A, 0x5A, 0x2B));
                p.drawRect(cell.adjusted(1, 1, -2, -2));
            }
            p.setPen(kItemText);
            p.drawText(QRect(x + (page > 9 ? 4 : 6), 0, 16, height()), Qt::AlignVCenter | Qt::AlignLeft,
                       QString::number(page));
            x += 20;
        }
        if (logic.StripEllipsis()) {
            p.setPen(kItemText);
            p.drawText(QRect(x, 0, 16, height()), Qt::AlignVCenter | Qt::AlignLeft, QStringLiteral("…"));
        }
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        const int hot = PageAt(event->position().toPoint().x());
        if (hot != m_hot) {
            m_hot = hot;
            update();
        }
    }
    void leaveEvent(QEvent*) override
    {
        m_hot = -1;
        update();
    }
    void mousePressEvent(QMouseEvent* event) override
    {
        const int page = PageAt(event->position().toPoint().x());
        if (page > 0) {
            m_form.Logic().ShowPage(page);
            m_form.Renew();
        }
    }

private:
    int PageAt(int x) const
    {
        const auto pages = m_form.Logic().StripPages();
        const int cell = x / 20;
        return x >= 0 && cell < static_cast<int>(pages.size()) ? pages[static_cast<size_t>(cell)] : -1;
    }
    TStyleSelForm& m_form;
    int m_hot = -1;
};

int RadioIndex(const SectionRadio& radio)
{
    return radio.row < 0 ? 12 : radio.row * 4 + radio.column;
}

SectionRadio RadioAt(int index)
{
    return index >= 12 ? SectionRadio{} : SectionRadio{index / 4, index % 4};
}

static TPNGButton* MakeButton(QWidget* parent, int w, int h, const QString& caption, skin::Glyph glyph = skin::Glyph::None)
{
    auto* button = new TPNGButton(parent);
    button->SetPngImg(skin::ButtonStrip(w, h, 4, caption, glyph));
    return button;
}

TStyleSelForm::TStyleSelForm(TSongModel& song, StyleDialogInput input, bool loggedIn, QWidget* parent,
                             StyleRunState& run)
    : QDialog(parent, Qt::FramelessWindowHint | Qt::Dialog), m_logic(run, song, std::move(input))
{
    setFixedSize(kWidth, kHeight);
    setFont(skin::SkinFont(12));
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, kWidth, kHeight), 3, 3);
    setMask(QRegion(shape.toFillPolygon().toPolygon()));
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    m_lblTitle = new QLabel(this);
    m_lblTitle->setGeometry(50, 3, kWidth - 100, 18);
    m_lblTitle->setAlignment(Qt::AlignCenter);
    m_lblTitle->setStyleSheet(QStringLiteral("color:#3C2B17"));
    m_lblTitle->setFont(skin::SkinFont(12, true));
    m_btnClose = MakeButton(this, 20, 18, {}, skin::Glyph::Close);
    m_btnClose->move(kWidth - 26, 3);
    m_btnClose->SetHint(QStringLiteral("关闭"));
    connect(m_btnClose, &TPNGButton::clicked, this, &TStyleSelForm::ClickClose);

    const std::pair<TPNGButton**, const char*> tabs[] = {
        {&m_btnFind, "分类"}, {&m_btnPayMny, "已购"}, {&m_btnCollect, "收藏"}, {&m_btnPngSearch, "搜索"}, {&m_btnRecord, "试过"}};
    for (size_t i = 0; i < std::size(tabs); ++i) {
        *tabs[i].first = MakeButton(this, 52, 22, QString::fromUtf8(tabs[i].second));
        const StyleTab tab = static_cast<StyleTab>(i);
        connect(*tabs[i].first, &TPNGButton::clicked, this, [this, tab] { ClickTab(tab); });
    }
    m_btnFind->SetHint(QStringLiteral("按类型筛选"));
    m_btnPayMny->SetHint(QStringLiteral("我的风格"));
    m_btnCollect->SetHint(QStringLiteral("收藏的风格"));
    m_btnPngSearch->SetHint(QStringLiteral("按名称搜索"));
    m_btnRecord->SetHint(QStringLiteral("试用过的风格"));
    m_pImgBtnState = new QWidget(this);
    m_pImgBtnState->setStyleSheet(QStringLiteral("background:#C0392B;border-radius:2px"));
    m_pImgBtnState->resize(30, 3);

    m_edSearch = new QLineEdit(this);
    m_edSearch->setGeometry(14, 28 + 24, kWidth - 28, 0);
    m_edSearch->setPlaceholderText(QStringLiteral("输入风格名称"));
    m_edSearch->setStyleSheet(QStringLiteral("QLineEdit{background:#FFFBF3;border:1px solid #A47346;color:#3C2B17;padding-left:18px}"));
    m_edSearch->hide();
    connect(m_edSearch, &QLineEdit::textChanged, this, [this](const QString& text) {
        m_logic.SetSearchText(text);
        Renew();
    });

    m_lbStyle = new TStyleList(*this, this);

    m_ImgFind = new QWidget(this);
    m_ImgFind->setGeometry(8, 52, kWidth - 16, 76);
    m_ImgFind->setObjectName(QStringLiteral("ImgFind"));
    m_ImgFind->setAttribute(Qt::WA_StyledBackground);
    m_ImgFind->setStyleSheet(QStringLiteral("#ImgFind{background:#FFF6E6;border:1px solid #A47346;border-radius:4px}"));
    for (int box = 0; box < 11; ++box) {
        auto* toggle = new TSkinToggle(QString::fromUtf8(kBoxNames[box]), false, m_ImgFind);
        toggle->setGeometry(8 + (box % 4) * 82, 6 + (box / 4) * 22, 78, 20);
        toggle->onClick = [this, box] { ClickCategory(box); };
        m_categoryBoxes[static_cast<size_t>(box)] = toggle;
    }

    // Section radios: the whole song and main 1-4 on one line, intro or
    // interlude 1-4 and ending 1-4 on the next.
    const char* const rowNames[3] = {"主段", "间奏", "尾声"};
    for (int row = 0; row < 3; ++row) {
        auto* label = new QLabel(QString::fromUtf8(rowNames[row]), this);
        label->setStyleSheet(QStringLiteral("color:#3C2B17"));
        label->setFont(skin::SkinFont(11));
        m_radioLabels[static_cast<size_t>(row)] = label;
    }
    for (int i = 0; i < 13; ++i) {
        const SectionRadio radio = RadioAt(i);
        const QString caption = radio.row < 0 ? QStringLiteral("整曲") : QString::number(radio.column + 1);
        auto* toggle = new TSkinToggle(caption, true, this);
        toggle->setFont(skin::SkinFont(11));
        toggle->resize(radio.row < 0 ? 46 : 20, 18);
        toggle->onClick = [this, radio] { ClickRadio(radio); };
        m_radios[static_cast<size_t>(i)] = toggle;
    }

    m_btnHeadPage = MakeButton(this, 22, 20, QStringLiteral("|<"));
    m_btnUpPage = MakeButton(this, 22, 20, QStringLiteral("<"));
    m_btnNextPage = MakeButton(this, 22, 20, QStringLiteral(">"));
    m_btnEndPage = MakeButton(this, 22, 20, QStringLiteral(">|"));
    m_pbPageNum = new TPageStrip(*this, this);
    m_pbPages = new QLabel(this);
    m_pbPages->setStyleSheet(QStringLiteral("color:#4F391E"));
    m_pbPages->setFont(skin::SkinFont(11));
    m_edtPageGo = new QLineEdit(this);
    m_edtPageGo->setMaxLength(3);
    m_edtPageGo->setAlignment(Qt::AlignCenter);
    m_edtPageGo->setStyleSheet(QStringLiteral("QLineEdit{background:#FFFBF3;border:1px solid #A47346;color:#3C2B17}"));
    m_btnPageGo = MakeButton(this, 30, 20, QStringLiteral("转到"));
    m_btnHeadPage->SetHint(QStringLiteral("首页"));
    m_btnUpPage->SetHint(QStringLiteral("上一页"));
    m_btnNextPage->SetHint(QStringLiteral("下一页"));
    m_btnEndPage->SetHint(QStringLiteral("末页"));
    connect(m_btnHeadPage, &TPNGButton::clicked, this, [this] { m_logic.FirstPage(), Renew(); });
    connect(m_btnUpPage, &TPNGButton::clicked, this, [this] { m_logic.PreviousPage(), Renew(); });
    connect(m_btnNextPage, &TPNGButton::clicked, this, [this] { m_logic.NextPage(), Renew(); });
    connect(m_btnEndPage, &TPNGButton::clicked, this, [this] { m_logic.LastPage(), Renew(); });
    connect(m_edtPageGo, &QLineEdit::textEdited, this, [this](const QString& text) {
        const QString kept = m_logic.ClampGoText(text);
        if (kept != text)
            m_edtPageGo->setText(kept);
    });
    connect(m_btnPageGo, &TPNGButton::clicked, this, [this] {
        m_logic.GoToPage(m_edtPageGo->text().toInt());
        Renew();
    });

    m_btnPlay = MakeButton(this, 56, 24, QStringLiteral("试听"));
    m_btnStop = MakeButton(this, 56, 24, QStringLiteral("停止"));
    m_btnTry = MakeButton(this, 56, 24, QStringLiteral("选用"));
    m_btnPlay->SetHint(QStringLiteral("试听所选风格"));
    m_btnTry->SetHint(QStringLiteral("使用所选风格"));
    connect(m_btnPlay, &TPNGButton::clicked, this, &TStyleSelForm::ClickPlay);
    connect(m_btnStop, &TPNGButton::clicked, this, &TStyleSelForm::ClickStop);
    connect(m_btnTry, &TPNGButton::clicked, this, &TStyleSelForm::ClickChoose);

    // Geometry, top to bottom: title, tabs, list (or panel over it), paging,
    // radios, buttons.
    const int listHeight = kStylesPerPage * kItemHeight;
    m_lbStyle->setGeometry(8, kListTop + 2, kWidth - 16, listHeight);
    const int pagingTop = kListTop + listHeight + 6;
    m_btnHeadPage->move(8, pagingTop);
    m_btnUpPage->move(32, pagingTop);
    m_pbPageNum->setGeometry(58, pagingTop, 6 * 20 + 14, 20);
    m_btnNextPage->move(192, pagingTop);
    m_btnEndPage->move(216, pagingTop);
    m_pbPages->setGeometry(241, pagingTop, 34, 20);
    m_edtPageGo->setGeometry(276, pagingTop + 1, 30, 18);
    m_btnPageGo->move(kWidth - 8 - 30, pagingTop);
    const int radioTop = pagingTop + 26;
    const int groupLeft[3] = {62, 8, 114};
    const int groupTop[3] = {radioTop, radioTop + 22, radioTop + 22};
    m_radios[12]->move(8, radioTop);
    for (int row = 0; row < 3; ++row) {
        m_radioLabels[static_cast<size_t>(row)]->setGeometry(groupLeft[row], groupTop[row], 28, 18);
        for (int column = 0; column < 4; ++column)
            m_radios[static_cast<size_t>(row * 4 + column)]->move(groupLeft[row] + 28 + column * 19, groupTop[row]);
    }
    m_btnPlay->move(kWidth - 8 - 56 - 4 - 56, radioTop + 6);
    m_btnStop->move(m_btnPlay->pos());
    m_btnTry->move(kWidth - 8 - 56, radioTop + 6);

    m_hint = new QLabel(nullptr, Qt::ToolTip);
    m_hint->setStyleSheet(QStringLiteral("QLabel{background:#FFF8E1;color:#3C2B17;border:1px solid #A47346;padding:4px}"));
    m_hint->setFont(skin::SkinFont(12));
    m_hintTimer.setSingleShot(true);
    m_hintTimer.setInterval(500);
    connect(&m_hintTimer, &QTimer::timeout, this, [this] {
        if (m_hintIndex < 0)
            return;
        m_hint->setText(m_logic.HintText(m_hintIndex));
        m_hint->adjustSize();
        m_hint->move(m_hintPos + QPoint(-20, 20));
        m_hint->show();
    });
    Timer2.setInterval(150);
    connect(&Timer2, &QTimer::timeout, this, [this] {
        if (m_logic.AnimateDownload() < 0)
            Timer2.stop();
        m_lbStyle->update();
    });

    RegisterMessageTarget(this, this);
    m_logic.Activate(loggedIn);
    m_lblTitle->setText(m_logic.Output().stageIndex >= 0 ? QStringLiteral("---分段设定---") : QStringLiteral("---全局设定---"));
    Renew();
}

TStyleSelForm::~TStyleSelForm()
{
    UnregisterMessageTarget(this);
    delete m_hint;
}

void TStyleSelForm::LayoutTabs()
{
    TPNGButton* shown[5] = {m_btnFind, m_btnPayMny, m_btnCollect, m_btnPngSearch, m_btnRecord};
    const bool account = m_logic.AccountTabShown();
    m_btnPayMny->setVisible(account);
    const int left = 10, right = kWidth - 10 - 52, gaps = account ? 4 : 3;
    int slot = 0;
    for (int i = 0; i < 5; ++i) {
        if (i == 1 && !account)
            continue;
        shown[i]->move(left + (right - left) * slot / gaps, 28);
        ++slot;
    }
    TPNGButton* active = shown[static_cast<int>(m_logic.Tab())];
    m_pImgBtnState->move(active->x() + 11, active->y() + 23);
    for (TPNGButton* b : shown)
        b->SetDown(b == active);
}

void TStyleSelForm::Renew()
{
    LayoutTabs();
    const bool panel = m_logic.Tab() == StyleTab::Categories && m_logic.CategoryPanelShown();
    m_ImgFind->setVisible(panel);
    m_ImgFind->raise();
    for (int box = 0; box < 11; ++box)
        m_categoryBoxes[static_cast<size_t>(box)]->SetChecked(m_logic.CategoryChecked(box));
    const bool search = m_logic.Tab() == StyleTab::Search;
    m_edSearch->setVisible(search);
    m_lbStyle->setGeometry(8, kListTop + 2 + (search ? 24 : 0), kWidth - 16,
                           kStylesPerPage * kItemHeight - (search ? 24 : 0));
    if (search)
        m_edSearch->setGeometry(12, kListTop, kWidth - 24, 22);
    m_pbPages->setText(QStringLiteral("共%1页").arg(m_logic.PageCount()));
    for (int i = 0; i < 13; ++i) {
        const SectionRadio radio = RadioAt(i);
        m_radios[static_cast<size_t>(i)]->setEnabled(m_logic.RadioEnabled(radio));
        m_radios[static_cast<size_t>(i)]->SetChecked(radio == m_logic.Radio());
    }
    m_btnPlay->SetEnabled(m_logic.PlayEnabled());
    m_btnTry->SetEnabled(m_logic.ChooseEnabled());
    m_btnPlay->setVisible(!m_logic.Previewing());
    m_btnStop->setVisible(m_logic.Previewing());
    if (m_logic.AnyDownloading() && !Timer2.isActive())
        Timer2.start();
    m_lbStyle->update();
    m_pbPageNum->update();
}

void TStyleSelForm::ClickTab(StyleTab tab)
{
    m_logic.SetTab(tab);
    if (tab == StyleTab::Search && m_logic.Tab() == StyleTab::Search) {
        m_edSearch->blockSignals(true);
        m_edSearch->clear();
        m_edSearch->blockSignals(false);
        m_edSearch->setFocus();
    }
    Renew();
}

void TStyleSelForm::ClickCategory(int box)
{
    m_logic.ToggleCategory(box);
    Renew();
}

void TStyleSelForm::PressItem(int libraryIndex, bool right, const QPoint& globalPos)
{
    HideHint();
    m_logic.Select(libraryIndex);
    Renew();
    if (right && m_logic.Tab() != StyleTab::Account)
        ShowMenu(libraryIndex, globalPos);
}

void TStyleSelForm::ReleaseItem(int libraryIndex)
{
    if (m_logic.Entry(libraryIndex).Installed() || m_logic.Entry(libraryIndex).Downloading())
        return;
    ReportDownloadRefusal(m_logic.StartDownload(libraryIndex, false, WindowHandle(this)));
    Renew();
}

void TStyleSelForm::ShowMenu(int libraryIndex, const QPoint& globalPos)
{
    const int tag = TPopMenu::Popup(this, m_logic.MenuFor(libraryIndex), globalPos);
    if (tag == kMenuDownload)
        ReportDownloadRefusal(m_logic.StartDownload(libraryIndex, true, WindowHandle(this)));
    else if (tag != 0)
        m_logic.RunMenu(libraryIndex, tag);
    Renew();
}

void TStyleSelForm::ReportDownloadRefusal(int32_t result)
{
    if (result == 0)
        return;
    if (result == CS_ERR_NO_SERVICE)
        ShowMessageBox(QStringLiteral("网络服务未启动，无法下载风格。\n本地风格仍可使用。"), 0x40);
    else
        ShowMessageBox(QStringLiteral("风格下载失败（错误 %1），请稍后重试。").arg(result), 0x10);
}

void TStyleSelForm::ClickRadio(const SectionRadio& radio)
{
    if (!m_logic.RadioEnabled(radio))
        return;
    m_logic.SelectRadio(radio);
    if (m_logic.Selected() >= 0 && m_logic.PlayEnabled())
        m_logic.Preview(WindowHandle(this));
    Renew();
}

void TStyleSelForm::ClickPlay()
{
    if (!m_logic.PlayEnabled())
        return;
    m_logic.Preview(WindowHandle(this));
    Renew();
}

void TStyleSelForm::ClickStop()
{
    m_logic.StopPreview();
    Renew();
}

void TStyleSelForm::ClickChoose()
{
    const bool chosen = m_logic.Choose();
    if (!chosen && m_logic.Selected() >= 0)
        return;   // a style not installed cannot be chosen
    done(chosen ? QDialog::Accepted : QDialog::Rejected);
}

void TStyleSelForm::ClickClose()
{
    done(QDialog::Rejected);
}

bool TStyleSelForm::ConfirmClose()
{
    if (!m_logic.AnyDownloading())
        return true;
    if (ShowMessageBox(QStringLiteral("有风格正在下载,退出将停止风格下载?"), 36) != kResultYes)
        return false;
    m_logic.AbandonDownloads();
    return true;
}

void TStyleSelForm::done(int result)
{
    if (m_closing)
        return;
    if (!ConfirmClose())
        return;
    m_closing = true;
    HideHint();
    Timer2.stop();
    m_logic.Close();
    QDialog::done(result);
    m_closing = false;
}

void TStyleSelForm::ShowHintFor(int libraryIndex, const QPoint& globalPos)
{
    m_hintIndex = libraryIndex;
    m_hintPos = globalPos;
    m_hintTimer.start();
}

void TStyleSelForm::HideHint()
{
    m_hintIndex = -1;
    m_hintTimer.stop();
    m_hint->hide();
}

intptr_t TStyleSelForm::HandleMessage(uint32_t message, intptr_t wParam, intptr_t lParam)
{
    if (message == UM_SERVICE_EVENT) {
        const QString problem = m_logic.OnServiceEvent(static_cast<int>((wParam >> 16) & 0xFFFF),
                                                       static_cast<int>(wParam & 0xFFFF), static_cast<int32_t>(lParam));
        Renew();
        if (!problem.isEmpty())
            ShowMessageBox(problem, 0x10);
    } else if (message == UM_ENGINE_STOPPED) {
        m_logic.EngineStopped();
        Renew();
    }
    return 0;
}

bool TStyleSelForm::event(QEvent* event)
{
    if (DeliverMessageEvent(this, event))
        return true;
    return QDialog::event(event);
}

void TStyleSelForm::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.drawPixmap(0, 0, skin::DialogBackground(kWidth, kHeight));
    p.setPen(QColor(0xD8, 0xC4, 0xA8));
    p.setBrush(QColor(0xFF, 0xFB, 0xF3));
    p.drawRect(QRect(7, kListTop + 1, kWidth - 15, kStylesPerPage * kItemHeight + 1));
}

void TStyleSelForm::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (m_edtPageGo->hasFocus()) {
            m_logic.GoToPage(m_edtPageGo->text().toInt());
            Renew();
            return;
        }
        ClickChoose();
        return;
    }
    if (event->key() == Qt::Key_Escape) {
        ClickClose();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TStyleSelForm::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    m_dragging = event->button() == Qt::LeftButton && at.y() < 24 && at.x() > 10 && at.x() < kWidth - 50;
    m_dragFrom = event->globalPosition().toPoint() - pos();
}

void TStyleSelForm::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragFrom);
}

} // namespace melodrift
