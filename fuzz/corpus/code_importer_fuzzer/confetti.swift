import UIKit

final class ConfettiViewController: UIViewController {
    private let confettiLayer = CAEmitterLayer()

    private let colors: [UIColor] = [
        UIColor(red: 0.95, green: 0.40, blue: 0.27, alpha: 1.0),
        UIColor(red: 1.00, green: 0.78, blue: 0.36, alpha: 1.0),
        .systemTeal,
        UIColor(hue: 0.75, saturation: 0.6, brightness: 0.9, alpha: 1),
        #colorLiteral(red: 0.2, green: 0.8, blue: 0.4, alpha: 1),
    ]

    override func viewDidLoad() {
        super.viewDidLoad()
        view.backgroundColor = .white
        setUpConfetti()
    }

    private func setUpConfetti() {
        confettiLayer.emitterPosition = CGPoint(x: view.bounds.midX, y: -10)
        confettiLayer.emitterShape = .line
        confettiLayer.emitterSize = CGSize(width: view.bounds.width, height: 1)
        confettiLayer.beginTime = CACurrentMediaTime()

        var cells: [CAEmitterCell] = []
        for (index, color) in colors.enumerated() {
            let cell = CAEmitterCell()
            cell.name = "confetti\(index)"
            cell.birthRate = 6
            cell.lifetime = 14.0
            cell.velocity = CGFloat(350 + index * 10)
            cell.velocityRange = 80
            cell.emissionLongitude = CGFloat.pi
            cell.emissionRange = .pi / 4
            cell.spin = 3.5
            cell.spinRange = 1
            cell.scale = 0.3
            cell.scaleRange = 0.25
            cell.color = color.cgColor
            cell.contents = UIImage(named: "spark")?.cgImage
            cell.yAcceleration = 120
            cells.append(cell)
        }
        confettiLayer.emitterCells = cells
        view.layer.addSublayer(confettiLayer)

        DispatchQueue.main.asyncAfter(deadline: .now() + 2) {
            self.confettiLayer.birthRate = 0
        }
    }
}
