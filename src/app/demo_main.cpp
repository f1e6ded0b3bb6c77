// lumorafm-demo: the real program with the platform simulator started in
// this process and the catalogue pointed at it.
#include <QApplication>
#include <cstdio>

#include "lumora/app/application.h"
#include "lumora/app/fonts.h"
#include "lumora/sim/simulator.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  lumora::prepare_fonts();
  lumora::ExitRoutines exits;

  static lumora::sim::Simulator simulator;
  std::printf("simulator: search %s, mobile %s, audio %s\n", simulator.search_base().c_str(),
              simulator.mobile_base().c_str(), simulator.audio_base().c_str());
  std::fflush(stdout);

  lumora::Application application(
      exits, lumora::PlatformEndpoints{simulator.search_base(), simulator.mobile_base()});
  application.start();
  QApplication::exec();
  lumora::end_program(exits, 0);
}
