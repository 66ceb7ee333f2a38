#include "updater/ui/notifier_controller.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

namespace {

// A popup window that records what it is told; its timers fire only when the
// test ticks them.
class FakeNotifierWindow : public INotifierWindow {
 public:
  void SetTexts(const std::string& t, const std::string& d) override {
    title = t;
    description = d;
  }
  void Show() override {
    shown = true;
    ++shows;
  }
  void Hide() override {
    shown = false;
    ++hides;
  }
  bool IsShown() const override { return shown; }
  bool CanSetTransparent() const override { return translucent; }
  void SetOpacity(int value) override { opacities.push_back(value); }
  NotifierSize Size() const override { return size; }
  RichRect WorkArea() const override { return work_area; }
  void MoveTo(RichPoint point) override { position = point; }
  void StartTimer(NotifierTimer timer, int interval_ms) override { running[timer] = interval_ms; }
  void StopTimer(NotifierTimer timer) override { running.erase(timer); }

  bool Running(NotifierTimer timer) const { return running.count(timer) > 0; }

  std::string title;
  std::string description;
  bool shown = false;
  int shows = 0;
  int hides = 0;
  bool translucent = true;
  std::vector<int> opacities;
  NotifierSize size{200, 100};
  RichRect work_area{0, 0, 1024, 740};
  RichPoint position;
  std::map<NotifierTimer, int> running;  // timer -> period
};

// Ticks the timer as the loop would while it runs, at most `limit` times;
// the number of ticks it ran.
int TickWhileRunning(CNotifierController& controller, FakeNotifierWindow& window,
                     NotifierTimer timer, int limit = 10000) {
  int ticks = 0;
  while (window.Running(timer) && ticks < limit) {
    controller.OnTimer(timer);
    ++ticks;
  }
  return ticks;
}

NotifierTiming DefaultTiming() { return NotifierTimingOf(SettingsValues{}); }

TEST(NotifierTiming, SettingsAreClampedToWhatCanWork) {
  struct Case {
    int transparency, fade_in, fade_out, show_time;
    NotifierTiming expected;
  } cases[] = {
      {200, 10, 10, 30, {10, 10, 30, 200}},    {300, 10, 10, 30, {10, 10, 30, 255}},
      {-5, 10, 10, 30, {10, 10, 30, 255}},     {0, 10, 10, 30, {10, 10, 30, 0}},
      {255, 0, -3, -1, {1, 1, 0, 255}},  // a step of 0 would never end a fade
      {100, 1000, 256, 5, {255, 255, 5, 100}},
  };
  for (const Case& c : cases) {
    SettingsValues settings;
    settings.transparency = c.transparency;
    settings.speed_fade_in = c.fade_in;
    settings.speed_fade_out = c.fade_out;
    settings.show_time = c.show_time;
    EXPECT_EQ(NotifierTimingOf(settings), c.expected)
        << c.transparency << " " << c.fade_in << " " << c.fade_out << " " << c.show_time;
  }
}

TEST(NotifierController, FadesInDisplaysAndFadesOutInTheTicksItShould) {
  struct Case {
    NotifierTiming timing;
    int fade_in_ticks;
    int display_ticks;
    int fade_out_ticks;
    int top_opacity;
  } cases[] = {
      {{10, 10, 30, 200}, 21, 31, 21, 200},  // the defaults
      {{10, 10, 30, 255}, 26, 31, 26, 255},  // TRANSPARENCY 300 or -5
      {{10, 10, 0, 0}, 1, 1, 1, 0},          // invisible, still counted down
      {{255, 50, 5, 255}, 2, 6, 6, 255},
      {{0, 0, 30, 200}, 201, 31, 201, 200},  // steps of 0 are taken as 1
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "steps " << c.timing.fade_in_step << "/"
                                      << c.timing.fade_out_step << " top " << c.timing.max_opacity);
    FakeNotifierWindow window;
    CNotifierController controller(c.timing);
    controller.Attach(window);
    controller.Show("Title", "Text");
    EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kFadingIn);
    EXPECT_EQ(window.running.at(NotifierTimer::kFade), kNotifierFadeTickMs);
    EXPECT_FALSE(window.shown);  // the first tick shows it

    EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kFade), c.fade_in_ticks);
    EXPECT_TRUE(window.shown);
    EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kShown);
    EXPECT_EQ(window.opacities.back(), c.top_opacity);
    EXPECT_EQ(window.running.at(NotifierTimer::kDisplay), kNotifierDisplayTickMs);

    EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kDisplay), c.display_ticks);
    EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kFadingOut);

    EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kFade), c.fade_out_ticks);
    EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kHidden);
    EXPECT_FALSE(window.shown);
    EXPECT_EQ(window.opacities.back(), 0);
    EXPECT_TRUE(window.running.empty());
  }
}

TEST(NotifierController, ShowsItsTextsInTheWorkAreasCorner) {
  FakeNotifierWindow window;
  window.work_area = RichRect{64, 32, 1856, 1048};  // panels at the left and the top
  window.size = NotifierSize{250, 120};
  CNotifierController controller(DefaultTiming());
  controller.Attach(window);
  controller.Show("Updater notification", "Downloading <b>files</b>...");
  EXPECT_EQ(window.title, "Updater notification");
  EXPECT_EQ(window.description, "Downloading <b>files</b>...");
  EXPECT_EQ(window.position, (RichPoint{64 + 1856 - 10 - 250, 32 + 1048 - 10 - 120}));
}

TEST(NotifierController, HoverHoldsTheDisplayUntilTheMouseLeaves) {
  FakeNotifierWindow window;
  CNotifierController controller(NotifierTiming{10, 10, 5, 200});
  controller.Attach(window);
  controller.Show("T", "D");
  TickWhileRunning(controller, window, NotifierTimer::kFade);
  controller.OnTimer(NotifierTimer::kDisplay);
  controller.OnTimer(NotifierTimer::kDisplay);
  EXPECT_EQ(controller.DisplayTicksLeft(), 3);

  controller.OnHover();
  EXPECT_FALSE(window.Running(NotifierTimer::kDisplay));
  controller.OnTimer(NotifierTimer::kDisplay);  // a tick already queued changes nothing
  EXPECT_EQ(controller.DisplayTicksLeft(), 3);
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kShown);

  controller.OnLeave();  // goes on where it stopped
  EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kDisplay), 4);
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kFadingOut);
}

TEST(NotifierController, MouseRestingDuringTheFadeInHoldsTheDisplay) {
  FakeNotifierWindow window;
  CNotifierController controller(DefaultTiming());
  controller.Attach(window);
  controller.Show("T", "D");
  controller.OnTimer(NotifierTimer::kFade);
  controller.OnHover();
  controller.OnLeave();  // leaving during the fade-in starts no display early
  EXPECT_FALSE(window.Running(NotifierTimer::kDisplay));
  controller.OnHover();
  TickWhileRunning(controller, window, NotifierTimer::kFade);
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kShown);
  EXPECT_FALSE(window.Running(NotifierTimer::kDisplay));
  controller.OnLeave();
  EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kDisplay), 31);
}

TEST(NotifierController, CloseClickMidFadeFadesOutFromTheCurrentOpacity) {
  FakeNotifierWindow window;
  CNotifierController controller(DefaultTiming(), RichRect{180, 0, 20, 20});
  controller.Attach(window);
  controller.Show("T", "D");
  for (int i = 0; i < 7; ++i) controller.OnTimer(NotifierTimer::kFade);
  EXPECT_EQ(controller.Opacity(), 70);

  controller.OnClick(RichPoint{10, 10});  // outside the close rectangle
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kFadingIn);

  controller.OnClick(RichPoint{185, 5});
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kFadingOut);
  EXPECT_EQ(controller.Opacity(), 70);
  EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kFade), 8);
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kHidden);
  EXPECT_FALSE(window.Running(NotifierTimer::kDisplay));
}

TEST(NotifierController, CloseClickWhileShownEndsTheDisplay) {
  FakeNotifierWindow window;
  CNotifierController controller(DefaultTiming(), RichRect{180, 0, 20, 20});
  controller.Attach(window);
  controller.Show("T", "D");
  TickWhileRunning(controller, window, NotifierTimer::kFade);
  controller.OnClick(RichPoint{199, 19});
  EXPECT_FALSE(window.Running(NotifierTimer::kDisplay));
  EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kFade), 21);
  EXPECT_FALSE(window.shown);
}

TEST(NotifierController, ShowAgainStartsOverAndStopsTheRunningDisplay) {
  FakeNotifierWindow window;
  CNotifierController controller(DefaultTiming());
  controller.Attach(window);
  controller.Show("One", "1");
  TickWhileRunning(controller, window, NotifierTimer::kFade);
  ASSERT_TRUE(window.Running(NotifierTimer::kDisplay));
  controller.Show("Two", "2");
  EXPECT_EQ(window.title, "Two");
  EXPECT_FALSE(
      window.Running(NotifierTimer::kDisplay));  // no fade-out in the middle of the fade-in
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kFadingIn);
  EXPECT_EQ(window.opacities.back(), 0);
  EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kFade), 21);
}

TEST(NotifierController, WithoutTranslucencyShowsAndHidesWithoutFading) {
  FakeNotifierWindow window;
  window.translucent = false;
  CNotifierController controller(NotifierTiming{10, 10, 2, 200}, RichRect{0, 0, 10, 10});
  controller.Attach(window);
  controller.Show("T", "D");
  EXPECT_TRUE(window.shown);
  EXPECT_FALSE(window.Running(NotifierTimer::kFade));
  EXPECT_TRUE(window.opacities.empty());
  EXPECT_EQ(TickWhileRunning(controller, window, NotifierTimer::kDisplay), 3);
  EXPECT_FALSE(window.shown);
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kHidden);

  controller.Show("T", "D");
  controller.OnClick(RichPoint{1, 1});
  EXPECT_FALSE(window.shown);
  EXPECT_TRUE(window.running.empty());
}

TEST(NotifierController, DoesNothingBeforeAWindowIsAttached) {
  CNotifierController controller(DefaultTiming());
  controller.Show("T", "D");
  controller.OnTimer(NotifierTimer::kFade);
  controller.OnHover();
  controller.OnClick(RichPoint{});
  EXPECT_EQ(controller.CurrentState(), CNotifierController::State::kHidden);
}

TEST(TitleFont, StyleWordsInAnyCaseTurnOnTheirAttributes) {
  struct Case {
    const char* style;
    bool bold, italic, underline, strike_out;
  } cases[] = {
      {"", false, false, false, false},
      {"bold", true, false, false, false},
      {"Bold Italic", true, true, false, false},
      {"ITALIC,BOLD", true, true, false, false},
      {"underline", false, false, true, false},
      {"StrikeOut", false, false, false, true},
      {"bolditalicunderlinestrikeout", true, true, true, true},
      {"strike out", false, false, false, false},  // one word only
  };
  for (const Case& c : cases) {
    const RichFont font = TitleFont("Verdana", 12, c.style);
    EXPECT_EQ(font.face, "Verdana") << c.style;
    EXPECT_EQ(font.size, 12) << c.style;
    EXPECT_EQ(font.bold, c.bold) << c.style;
    EXPECT_EQ(font.italic, c.italic) << c.style;
    EXPECT_EQ(font.underline, c.underline) << c.style;
    EXPECT_EQ(font.strike_out, c.strike_out) << c.style;
  }
  EXPECT_EQ(TitleFont("Verdana", 0, "").size, 1);
  EXPECT_EQ(TitleFont("Verdana", 100000, "").size, rich_text::kMaxFontSize);
}

TEST(NotifierLook, ComesFromTheNotifySettings) {
  SettingsValues settings;
  settings.notify_skin = "/opt/app/skin.bmp";
  settings.title_color = ParseSettingsColour("R10,G20,B30");
  settings.title_rect = SettingsRect{5, 6, 105, 26};
  settings.close_rect = SettingsRect{190, 2, 180, 12};  // reversed: empty
  settings.title_font_style = "bold";
  const NotifierLook look = NotifierLookOf(settings);
  EXPECT_EQ(look.skin_file, "/opt/app/skin.bmp");
  EXPECT_EQ(look.title_colour, (RgbColor{10, 20, 30}));
  EXPECT_EQ(look.transparent_colour, (RgbColor{255, 0, 255}));
  EXPECT_EQ(look.title_rect, (RichRect{5, 6, 100, 20}));
  EXPECT_EQ(look.close_rect, (RichRect{190, 2, 0, 10}));
  EXPECT_TRUE(look.title_font.bold);
  EXPECT_EQ(look.title_font.face, "Verdana");
}

// Every character is 10 pixels wide; a line is 16 high.
class FixedMetrics : public ITextMetrics {
 public:
  TextExtent Measure(std::string_view text, const RichFont&) const override {
    int characters = 0;
    for (char c : text)
      if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    return TextExtent{characters * 10, 16};
  }
  FontExtent Extent(const RichFont&) const override { return FontExtent{12, 4}; }
};

TEST(FitTitle, WrapsAndEllipsisesTheLastLineThatFits) {
  const FixedMetrics metrics;
  const RichFont font;
  struct Case {
    const char* title;
    RichRect rect;
    std::vector<std::string> lines;
  } cases[] = {
      {"New version", {0, 0, 200, 32}, {"New version"}},
      {"A new version is ready", {0, 0, 120, 48}, {"A new", "version is", "ready"}},
      {"A new version is ready", {0, 0, 120, 32}, {"A new", "version i..."}},
      {"A new version is ready now", {0, 0, 100, 32}, {"A new", "version..."}},
      {"One two three four", {0, 0, 80, 16}, {"One t..."}},
      {"One two three four", {0, 0, 80, 5}, {"One t..."}},  // one line at least
      {"Überschrift für Sie jetzt", {0, 0, 100, 16}, {"Übersch..."}},
      {"", {0, 0, 100, 32}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    const std::vector<std::string> lines = FitTitle(c.title, c.rect, font, metrics);
    EXPECT_EQ(lines, c.lines);
    for (const std::string& line : lines)
      EXPECT_LE(metrics.Measure(line, font).width, c.rect.width);
  }
}

}  // namespace
