import UIKit

class WeatherViewController: UIViewController {
    lazy var smoke: CAEmitterLayer = {
        let emitter = CAEmitterLayer()
        emitter.emitterPosition = CGPoint(x: 60, y: 260)
        emitter.renderMode = .oldestLast
        let puff = CAEmitterCell()
        puff.birthRate = 4
        puff.lifetime = 6
        puff.velocity = 20
        puff.emissionLongitude = -.pi / 2
        puff.color = UIColor(white: 0.7, alpha: 0.5).cgColor
        puff.contents = UIImage(named: "smoke")?.cgImage
        emitter.emitterCells = [puff]
        return emitter
    }()

    func makeRain() -> CAEmitterLayer {
        let rain = CAEmitterLayer()
        rain.emitterShape = .line
        rain.emitterPosition = CGPoint(x: 200, y: 0)
        rain.emitterSize = CGSize(width: 400, height: 0)
        let drops = (1...3).map { speed -> CAEmitterCell in
            let drop = CAEmitterCell()
            drop.name = "drop"
            drop.birthRate = 30
            drop.lifetime = 2
            drop.velocity = 200 * CGFloat(speed)
            drop.emissionLongitude = .pi
            drop.scale = 0.02
            drop.contents = UIImage(named: "spark")?.cgImage
            return drop
        }
        rain.emitterCells = drops
        return rain
    }

    override func viewDidLoad() {
        super.viewDidLoad()
        view.layer.addSublayer(smoke)
        view.layer.addSublayer(makeRain())
    }
}
